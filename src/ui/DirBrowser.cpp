#include "ui/DirBrowser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <vector>

#include "ui/DirListBox.h"
#include "ui/Drives.h"
#include "ui/MessageSink.h"
#include "ui/TwipsLayout.h"

namespace mdbtokvt::ui {

namespace {
// Design of the client area and its controls, in twips.
constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 3690;
constexpr TwipsRect kDriveListRect{120, 120, 4455, 315};
constexpr TwipsRect kDirListRect{120, 600, 4455, 2340};
constexpr TwipsRect kOkRect{2280, 3120, 1095, 375};
constexpr TwipsRect kCancelRect{3480, 3120, 1095, 375};

QSize ButtonNeed(const QPushButton& button) { return CaptionNeed(button, button.text()); }
}  // namespace

DirBrowser::DirBrowser(MessageSink& messages, QWidget* parent, DriveLister listDrives)
    : QDialog(parent),
      messages_(messages),
      listDrives_(listDrives ? std::move(listDrives) : DriveLister(MountedDrives)),
      driveList_(new QComboBox(this)),
      dirList_(
          new DirListBox([this](const QString& path) { return DriveOfPath(path, drives_); }, this)),
      okButton_(new QPushButton(tr("OK"), this)),
      cancelButton_(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("DirBrowser"));
  setWindowTitle(QStringLiteral("(title set at runtime)"));
  driveList_->setObjectName(QStringLiteral("DriveList"));
  dirList_->setObjectName(QStringLiteral("DirList"));
  okButton_->setObjectName(QStringLiteral("OK"));
  cancelButton_->setObjectName(QStringLiteral("Cancel"));
  // Enter belongs to the folder list (it opens a folder), never to a button.
  for (QPushButton* button : {okButton_, cancelButton_}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  setTabOrder(dirList_, cancelButton_);
  setTabOrder(cancelButton_, okButton_);
  setTabOrder(okButton_, driveList_);

  connect(driveList_, &QComboBox::currentIndexChanged, this, &DirBrowser::OnDriveChosen);
  connect(dirList_, &DirListBox::folderOpened, this, &DirBrowser::OnFolderOpened);
  connect(okButton_, &QPushButton::clicked, this, [this] { Close(true); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { Close(false); });

  RefreshDrives();
  Arrange();
}

void DirBrowser::Arrange() {
  const std::vector<SpaceNeed> needs{
      {ButtonNeed(*okButton_), DesignSize(kOkRect)},
      {ButtonNeed(*cancelButton_), DesignSize(kCancelRect)},
      {{0, driveList_->minimumSizeHint().height()}, DesignSize(kDriveListRect)},
  };
  const TwipsLayout layout(FitPixelsPerTwip(logicalDpiY(), needs));
  layout.Place(*driveList_, kDriveListRect);
  layout.Place(*dirList_, kDirListRect);
  layout.Place(*okButton_, kOkRect);
  layout.Place(*cancelButton_, kCancelRect);
  setFixedSize(layout.Size(kClientWidth, kClientHeight));
}

bool DirBrowser::Browse(QString& path, const QString& caption) {
  RefreshDrives();
  if (!SetPath(path)) {
    messages_.Show(QMessageBox::Warning, tr("Invalid Path"),
                   tr("The path %1 is invalid. Showing program path instead.").arg(Quoted(path)));
    path = QCoreApplication::applicationDirPath();
    if (!SetPath(path)) {
      messages_.Show(QMessageBox::Critical, tr("Error"),
                     tr("Can't browse to %1 either.").arg(Quoted(path)));
      return false;
    }
  }
  setWindowTitle(caption);
  dirList_->setFocus();
  exec();
  path = dirList_->path();
  return accepted_;
}

bool DirBrowser::SetPath(const QString& path) {
  // The lists report only what the user changes; this call moves both once.
  const QSignalBlocker quietDrives(driveList_);
  if (!dirList_->SetPath(path)) return false;
  const int driveIndex = driveList_->findText(DriveOfPath(dirList_->path(), drives_));
  if (driveIndex < 0) return false;
  driveList_->setCurrentIndex(driveIndex);
  lastGoodPath_ = path;
  return true;
}

void DirBrowser::RefreshDrives() {
  const QSignalBlocker quietDrives(driveList_);
  const QString shown = driveList_->currentText();
  drives_ = listDrives_();
  driveList_->clear();
  const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon, nullptr, this);
  for (const QString& drive : drives_) driveList_->addItem(icon, drive);
  driveList_->setCurrentIndex(std::max(0, driveList_->findText(shown)));
}

void DirBrowser::OnDriveChosen(int index) {
  const QString drive = driveList_->itemText(index);
  if (SetPath(drive)) return;
  messages_.Show(QMessageBox::Information, tr("Invalid Path"),
                 tr("Could not access %1").arg(drive));
  const QString lastGood = lastGoodPath_;
  SetPath(lastGood);
}

void DirBrowser::OnFolderOpened(const QString& path) { lastGoodPath_ = path; }

void DirBrowser::Close(bool accepted) {
  accepted_ = accepted;
  done(accepted ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace mdbtokvt::ui
