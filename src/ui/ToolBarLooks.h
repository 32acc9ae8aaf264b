#pragma once

#include <QIcon>
#include <QStyle>

class QString;
class QWidget;

// What the tool bar's buttons show.
namespace ToolBarLooks {
// The icon theme's icon, else the style's own picture.
QIcon icon(const QWidget* widget, const char* themeName, QStyle::StandardPixmap fallback);
// Qt's style has no printer picture; without an icon theme this drawn one stands in.
QIcon printerIcon();
// A menu caption as a tooltip: the mnemonic marks gone ("&&" is a literal ampersand, as codes and
// chair names may hold one), and text that Qt would take for markup shown as typed.
QString plainToolTip(const QString& caption);
} // namespace ToolBarLooks
