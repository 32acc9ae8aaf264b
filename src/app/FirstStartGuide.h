#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// What a new practice sees where the day's columns would be while it has no chair or no treatment:
// a short text and the ways on (the chair and treatment editors, the demo practice). The window
// decides when it shows and what the buttons do.
class FirstStartGuide : public QFrame {
    Q_OBJECT
public:
    explicit FirstStartGuide(QWidget* parent = nullptr);

    // Says which of the two is still missing.
    void setMissing(bool chairs, bool treatments);
    QString missingText() const;
    QPushButton* chairsButton() const { return m_chairs; }
    QPushButton* treatmentsButton() const { return m_treatments; }
    QPushButton* demoButton() const { return m_demo; }

signals:
    void chairsRequested();
    void treatmentsRequested();
    void demoRequested();

private:
    QLabel* m_missing;
    QPushButton* m_chairs;
    QPushButton* m_treatments;
    QPushButton* m_demo;
};
