#include "ui/MainWindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <cstdlib>
#include <new>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "common/Utf8Converter.h"
#include "converters/FatalError.h"
#include "run/DBConvert.h"
#include "run/FileFuncs.h"
#include "run/ReportText.h"
#include "ui/DirBrowser.h"
#include "ui/FileChooser.h"
#include "ui/LocalText.h"
#include "ui/MessageSink.h"
#include "ui/SettingsStore.h"
#include "ui/TwipsLayout.h"
#include "ui/WaitCursor.h"

namespace mdbtokvt::ui {

namespace {
// Design of the client area and its controls, in twips; the controls inside a
// group box are placed relative to the box.
constexpr int kClientWidth = 7095;
constexpr int kClientHeight = 2925;
constexpr TwipsRect kFrame1Rect{120, 120, 6855, 975};
constexpr TwipsRect kMdbFilenameRect{240, 360, 5295, 285};
constexpr TwipsRect kBrowseMdbFilenameRect{5640, 360, 1095, 375};
constexpr TwipsRect kFrame2Rect{120, 1200, 6855, 975};
constexpr TwipsRect kKvtPathRect{240, 390, 5295, 285};
constexpr TwipsRect kBrowseKvtPathRect{5640, 360, 1095, 405};
constexpr TwipsRect kLabel1Rect{240, 2400, 1815, 255};
constexpr TwipsRect kVersionRect{2160, 2400, 2775, 315};
constexpr TwipsRect kDoConversionRect{5760, 2400, 1095, 375};

const QString kSettingsSection = QStringLiteral("MRU");
const QString kLastMdbFilenameKey = QStringLiteral("LastMDBFilename");
const QString kLastKvtPathKey = QStringLiteral("LastKVTPath");

// Shown as "MS Access Files (*.mdb,*.abk)"; the patterns after it match both
// extensions in any mix of case, so DEFAULT.ABK is offered as well.
const QString kAccessFileFilter =
    QStringLiteral("MS Access Files (*.mdb,*.abk) (*.[mM][dD][bB] *.[aA][bB][kK])");

// Room for a group box title: the text plus the style's margins around it.
QSize GroupTitleNeed(const QGroupBox& box) {
  QStyleOptionGroupBox option;
  option.initFrom(&box);
  option.text = box.title();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  option.rect = QRect(0, 0, 10000, 10000);
  const QRect label =
      box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
  return {label.right() + 1 + label.left(), 0};
}
}  // namespace

MainWindow::MainWindow(MainWindowServices services, std::unique_ptr<DataSource> dataSource,
                       CodePageChoice codePage, QWidget* parent)
    : QWidget(parent),
      services_(services),
      dataSource_(std::move(dataSource)),
      codePage_(std::move(codePage)),
      frame1_(new QGroupBox(
          tr("Database file to convert from (Lite: vurarer.mdb; Viv: Default.abk):"), this)),
      mdbFilename_(new QLineEdit(frame1_)),
      browseMdbFilename_(new QPushButton(tr("Browse..."), frame1_)),
      frame2_(new QGroupBox(tr("Path to create Telvane database files in:"), this)),
      kvtPath_(new QLineEdit(frame2_)),
      browseKvtPath_(new QPushButton(tr("Browse..."), frame2_)),
      label1_(new QLabel(tr("Telvane Wireless Version:"), this)),
      version_(new QComboBox(this)),
      doConversion_(new QPushButton(tr("Convert"), this)) {
  context_.codePage = codePage_.Description();
  context_.codePageNote = codePage_.note;
  context_.stop = services_.stop;
  if (services_.stop != nullptr && services_.stop->wakeFd() >= 0) {
    // Between conversions (a conversion runs on this thread and looks at
    // the request itself), a stop ends the program as soon as the event
    // loop sees it, dialogs open or not.
    stopNotifier_ = new QSocketNotifier(services_.stop->wakeFd(), QSocketNotifier::Read, this);
    connect(stopNotifier_, &QSocketNotifier::activated, this,
            [this] { EndIfStopped(StopMoment::kIdle); });
  }
  SetUpControls();
  Arrange();
  LoadSettings();
}

void MainWindow::SetUpControls() {
  setObjectName(QStringLiteral("Main"));
  setWindowTitle(tr("Telvane Database Converter"));
  frame1_->setObjectName(QStringLiteral("Frame1"));
  mdbFilename_->setObjectName(QStringLiteral("MDBFilename"));
  browseMdbFilename_->setObjectName(QStringLiteral("BrowseMDBFilename"));
  frame2_->setObjectName(QStringLiteral("Frame2"));
  kvtPath_->setObjectName(QStringLiteral("KVTPath"));
  browseKvtPath_->setObjectName(QStringLiteral("BrowseKVTPath"));
  label1_->setObjectName(QStringLiteral("Label1"));
  version_->setObjectName(QStringLiteral("cboVersion"));
  doConversion_->setObjectName(QStringLiteral("DoConversion"));

  setTabOrder(mdbFilename_, kvtPath_);
  setTabOrder(kvtPath_, doConversion_);
  setTabOrder(doConversion_, browseMdbFilename_);
  setTabOrder(browseMdbFilename_, browseKvtPath_);
  setTabOrder(browseKvtPath_, version_);
  mdbFilename_->setFocus();

  connect(browseMdbFilename_, &QPushButton::clicked, this, &MainWindow::BrowseForDatabase);
  connect(browseKvtPath_, &QPushButton::clicked, this, &MainWindow::BrowseForOutputFolder);
  connect(doConversion_, &QPushButton::clicked, this, &MainWindow::Convert);
}

void MainWindow::Arrange() {
  const std::vector<SpaceNeed> needs{
      {GroupTitleNeed(*frame1_), DesignSize(kFrame1Rect)},
      {GroupTitleNeed(*frame2_), DesignSize(kFrame2Rect)},
      {{0, mdbFilename_->minimumSizeHint().height()}, DesignSize(kMdbFilenameRect)},
      {{0, kvtPath_->minimumSizeHint().height()}, DesignSize(kKvtPathRect)},
      {CaptionNeed(*browseMdbFilename_, browseMdbFilename_->text()),
       DesignSize(kBrowseMdbFilenameRect)},
      {CaptionNeed(*browseKvtPath_, browseKvtPath_->text()), DesignSize(kBrowseKvtPathRect)},
      {CaptionNeed(*doConversion_, doConversion_->text()), DesignSize(kDoConversionRect)},
      {label1_->sizeHint(), DesignSize(kLabel1Rect)},
      {{0, version_->minimumSizeHint().height()}, DesignSize(kVersionRect)},
  };
  const TwipsLayout layout(FitPixelsPerTwip(logicalDpiY(), needs));
  layout.Place(*frame1_, kFrame1Rect);
  layout.Place(*mdbFilename_, kMdbFilenameRect);
  layout.Place(*browseMdbFilename_, kBrowseMdbFilenameRect);
  layout.Place(*frame2_, kFrame2Rect);
  layout.Place(*kvtPath_, kKvtPathRect);
  layout.Place(*browseKvtPath_, kBrowseKvtPathRect);
  layout.Place(*label1_, kLabel1Rect);
  layout.Place(*version_, kVersionRect);
  layout.Place(*doConversion_, kDoConversionRect);
  setFixedSize(layout.Size(kClientWidth, kClientHeight));
}

void MainWindow::LoadSettings() {
  SettingsStore& settings = services_.settings;
  mdbFilename_->setText(settings.Get(kSettingsSection, kLastMdbFilenameKey, QString()));
  kvtPath_->setText(settings.Get(kSettingsSection, kLastKvtPathKey, QString()));
  for (const std::string_view name : kEditionNames) {
    version_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  version_->setCurrentIndex(0);
}

void MainWindow::BrowseForDatabase() {
  if (const auto chosen =
          services_.files.ChooseExistingFile(mdbFilename_->text(), kAccessFileFilter)) {
    mdbFilename_->setText(*chosen);
  }
}

void MainWindow::BrowseForOutputFolder() {
  QString path = kvtPath_->text();
  if (Folders().Browse(path, tr("Path to create KVT files in:"))) kvtPath_->setText(path);
}

void MainWindow::Convert() {
  const QString databasePath = mdbFilename_->text();
  const QString outputPath = kvtPath_->text();
  MessageSink& messages = services_.messages;
  if (!FileExists(ToLocalPath(databasePath))) {
    messages.Show(QMessageBox::Information, tr("Note"),
                  tr("Can't find input file %1").arg(Quoted(databasePath)));
    return;
  }
  if (!FolderExists(ToLocalPath(outputPath))) {
    messages.Show(QMessageBox::Information, tr("Note"),
                  tr("Can't find output path %1").arg(Quoted(outputPath)));
    return;
  }
  context_.addressBookSource = IsAddressBookName(ToLocalPath(databasePath));

  std::optional<QString> failure;
  try {
    failure = RunConversion(databasePath, outputPath);
  } catch (const FatalError& fatal) {
    // The program goes no further; main ends it once this returns.
    ReportFatal(fatal.title(), fatal.text());
    emit FatalErrorShown(EXIT_FAILURE);
    return;
  }
  // A conversion that failed after a stop failed because of it; one that
  // succeeded had begun its commit when the stop came.
  if (EndIfStopped(failure ? StopMoment::kBeforeCommit : StopMoment::kAfterCommit)) return;
  if (failure) {
    messages.Show(QMessageBox::Critical, tr("Error"), *failure);
    return;
  }
  messages.Show(QMessageBox::Information, tr("Note"),
                FromLocalText(CompletionNote(context_.edition)), ReportDetails());
}

QString MainWindow::ReportDetails() const {
  QStringList lines;
  const bool changed = !context_.report.empty();
  if (changed) {
    lines << QString::fromStdString(
        ReportSummary(context_.report, MemberLimitForEdition(context_.edition)));
  }
  lines << QString::fromStdString(CodePageLine(context_.report));
  if (changed) {
    // Names in the report are bytes of the table files' code page.
    const Utf8Converter toUtf8(codePage_.iconvName);
    lines << QString();
    for (const auto& line : ReportDetailLines(context_.report, toUtf8))
      lines << QString::fromStdString(line);
  }
  return lines.join(QLatin1Char('\n'));
}

std::optional<QString> MainWindow::RunConversion(const QString& databasePath,
                                                 const QString& outputPath) {
  const WaitCursor wait;
  SettingsStore& settings = services_.settings;
  settings.Save(kSettingsSection, kLastMdbFilenameKey, databasePath);
  settings.Save(kSettingsSection, kLastKvtPathKey, outputPath);

  context_.edition = EditionOfRow(version_->currentIndex());
  try {
    ConvertDatabase(context_, *dataSource_, ToLocalPath(databasePath), ToLocalPath(outputPath));
  } catch (const FatalError&) {
    throw;  // for Convert, which ends the program
  } catch (...) {
    return FromLocalText(ErrorText(ReportCurrentException()));
  }
  return std::nullopt;
}

void MainWindow::ReportFatal(std::string_view title, std::string_view text) {
  // The program ends right after this message; it should not show under the
  // wait cursor of the conversion that failed.
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  services_.messages.Show(QMessageBox::Warning, FromLocalText(title), FromLocalText(text));
}

bool MainWindow::EndIfStopped(StopMoment moment) {
  const StopRequest* stop = services_.stop;
  if (stop == nullptr || !stop->requested()) return false;
  if (!stopSaid_) {
    stopSaid_ = true;
    if (stopNotifier_ != nullptr) stopNotifier_->setEnabled(false);
    emit StoppedBySignal(128 + stop->signalNumber(),
                         QString::fromStdString(StopNote(stop->signalNumber(), moment)));
  }
  return true;
}

FolderChooser& MainWindow::Folders() {
  if (services_.folders == nullptr) {
    // Parent-owned: the one folder dialog lives, hidden between uses, as long
    // as the window.
    services_.folders = new DirBrowser(services_.messages, this);
  }
  return *services_.folders;
}

}  // namespace mdbtokvt::ui
