#pragma once

#include "editing/BalanceSnapshot.h"
#include "editing/DayAnalysis.h"
#include "editing/DayBalancer.h"

#include "ui/Announcer.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMutex>
#include <QTimer>

#include <memory>

class DoctorLoadChart;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QThread;

// "Arztzeit ausgleichen" and "Tag füllen": the options, "Berechnen", the search off the window's thread with a
// progress bar, and the answer as a preview (the doctor's load before and after, the moves or the added blocks,
// whether it is the best there is). "Übernehmen" accepts the dialog; the caller applies result(). Nothing of the
// day changes here.
class frmAusgleichen : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Balance, Fill };

    // `treatments`: the table's codes offered for filling, in table order.
    frmAusgleichen(Mode mode, BalanceSnapshot snapshot, const QStringList& treatments, QWidget* parent = nullptr);
    ~frmAusgleichen() override;

    Mode mode() const { return m_mode; }
    // The answer shown, once "Berechnen" has found one.
    const std::optional<BalanceResult>& result() const { return m_result; }
    const BalanceSnapshot& snapshot() const { return m_snapshot; }
    // A search runs that the user has not stopped.
    bool searching() const { return m_thread != nullptr && !m_stopped; }

    BalanceOptions options() const;
    QList<WantedBlocks> wanted() const;

    // "Beste gefundene Lösung nach 2 s" or "Bestmögliche Lösung".
    static QString verdict(const BalanceResult& result);
    // "2 × ABD passen nicht mehr".
    static QString notPlacedText(const BalanceResult& result);
    // What an answer does, in one sentence: "7 Blöcke verschoben, keine Überlastung mehr".
    static QString summary(Mode mode, const BalanceResult& result);

public slots:
    void cmdBerechnen_Click();
    void cmdBestes_Click();
    void reject() override;

signals:
    // The search has ended and its answer is shown (or, cancelled without one, the options are back).
    void searchEnded();

private:
    void startSearch();
    void searchFinished();
    // The thread has ended: Berechnen is back.
    void releaseThread();
    // The search is over for the user: its answer, if any, or why there is none.
    void showEnd(const std::optional<BalanceResult>& answer);
    void showResult(const BalanceResult& result);
    void stopSearch(bool keepBest);
    QList<DemandRow> demandRows(const QList<BalanceBlock>& blocks) const;

    Mode m_mode;
    BalanceSnapshot m_snapshot;
    QCheckBox* m_chkStuhl = nullptr;
    QCheckBox* m_chkMinuten = nullptr;
    QSpinBox* m_spnMinuten = nullptr;
    QCheckBox* m_chkHalbtag = nullptr;
    QTableWidget* m_tblWanted = nullptr;
    QPushButton* m_cmdBerechnen = nullptr;
    QProgressBar* m_prgSuche = nullptr;
    QPushButton* m_cmdBestes = nullptr;
    DoctorLoadChart* m_chartBefore = nullptr;
    DoctorLoadChart* m_chartAfter = nullptr;
    QListWidget* m_lstMoves = nullptr;
    QLabel* m_lblErgebnis = nullptr;
    QLabel* m_lblUrteil = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAbbrechen = nullptr;

    std::optional<BalanceResult> m_result;
    // The search: its balancer, the thread it runs on and the best answer it has reported so far.
    std::unique_ptr<DayBalancer> m_balancer;
    QThread* m_thread = nullptr;
    QMutex m_bestLock;
    std::optional<BalanceResult> m_best;
    BalanceResult m_final;
    bool m_keepBest = true;
    bool m_stopped = false; // the user stopped the search; its thread may still be ending
    QTimer m_progress;
    QElapsedTimer m_clock;
    qint64 m_limitMs = 2000;
    Announcer m_announcer;
};
