#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// A text field moves its caret and selects its text when it gets the focus, before Qt tells screen
// readers that it has the focus; Orca then takes the field as its focus silently and never says its
// name. While a screen reader listens, the field handles the focus a moment later, after Qt has told
// of it, so every field the focus reaches is named. Installed once on the application.
class EarlyTextFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The field whose postponed focus is being handled now.
    QPointer<QWidget> m_passing;
};
