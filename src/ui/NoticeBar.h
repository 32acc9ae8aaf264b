#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// A bar above the work area that tells something without stopping the user (no modal box): a text,
// an action button and "Ausblenden".
class NoticeBar : public QFrame {
    Q_OBJECT
public:
    NoticeBar(const QString& actionText, QWidget* parent = nullptr);

    void showText(const QString& text);
    QString text() const;
    QPushButton* actionButton() const { return m_action; }
    QPushButton* hideButton() const { return m_hide; }

signals:
    void actionClicked();
    void visibilityChanged();

protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text;
    QPushButton* m_action;
    QPushButton* m_hide;
};
