#pragma once

#include <QDialog>
#include <QList>

#include <utility>

struct AppServices;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

// The settings dialog "Einstellungen": practice data, opening hours and working days, slot size,
// backup folder and print settings, kept under the program's own name "Lunaris". Every value is plain
// text, stored exactly as typed. Loaded afresh for every showing; OK and Abbrechen close it.
class frmEinstellungenT : public QDialog {
    Q_OBJECT
public:
    explicit frmEinstellungenT(AppServices& services, QWidget* parent = nullptr);

private:
    // A text box and where its value lives in the settings store.
    struct SettingField {
        QLineEdit* box;
        QString section;
        QString key;
        QString defaultValue;
    };

    void buildPraxisPage();
    void buildProgrammPage();
    void setTabOrder();
    void nameForScreenReaders();
    void Form_Load();
    // Says under the fields which hours, slot and printer values the family's planner holds: those
    // are the ones in effect, whatever the dialog stores.
    void showFamilyValues();
    void TabStrip1_Click(int index);
    void cmdPfad_Click();
    void cmdSchrift_Click();
    void cmdOK_Click();
    // The first field whose value the program cannot use, and why; no field when all can be used.
    std::pair<QLineEdit*, QString> refusal() const;
    void writeSettings();

    QLineEdit* addField(QFrame* frame, const QString& name, const QRect& twips, const QString& section,
                        const QString& key, const QString& defaultValue);

    AppServices& m_services;
    QTabBar* m_tabStrip;
    QFrame* m_frames[2];
    // The text boxes of both pages, in the order of the pages' field lists.
    QList<SettingField> m_fields;
    // The working-day boxes by day number 1 (Sunday) to 7 (Saturday); element 0 is unused.
    QCheckBox* m_checkDay[8] = {};
    QLineEdit* m_txtBackup = nullptr;
    QLineEdit* m_txtSchrift = nullptr;
    QLineEdit* m_txtFontsize = nullptr;
    QPushButton* m_cmdPfad = nullptr;
    QPushButton* m_cmdSchrift = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAbbrechen = nullptr;
    // The line naming the planner's values, one per page.
    QLabel* m_lblVorgabe[2] = {};
};
