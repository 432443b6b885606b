// Moves text between the window (QString) and the conversion core, which
// takes paths and gives messages as bytes in the local 8-bit encoding.
#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace mdbtokvt::ui {

inline std::string ToLocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

inline QString FromLocalText(std::string_view text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace mdbtokvt::ui
