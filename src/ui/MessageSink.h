// Where the window's messages go: a message box on screen, or a recorder in
// the tests. Every message is a title, a text and one of the standard icons.
#pragma once

#include <QMessageBox>
#include <QString>

namespace mdbtokvt::ui {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the message and returns once the user has dismissed it. Details,
  // when given, are offered behind the box's "Show Details..." button.
  virtual void Show(QMessageBox::Icon icon, const QString& title, const QString& text,
                    const QString& details = QString()) = 0;
};

// Shows each message as a modal message box with an OK button, over the
// window that is active at the time.
class MessageBoxSink final : public MessageSink {
 public:
  void Show(QMessageBox::Icon icon, const QString& title, const QString& text,
            const QString& details = QString()) override;
};

// The value between two double-quote characters, as messages quote paths.
inline QString Quoted(const QString& value) { return QLatin1Char('"') + value + QLatin1Char('"'); }

}  // namespace mdbtokvt::ui
