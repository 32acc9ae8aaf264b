#include "TestMain.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Runs the real program as a user would start it: its own program folder, its own per-user folders.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QDir(m_root.path()).mkpath("programm");
        QDir(m_root.path()).mkpath("runtime");
        QDir(m_root.path()).mkpath("config");
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(LUNARIS_EXE, executable());
    }
    QString folder() const { return m_root.filePath("programm"); }
    QString executable() const { return m_root.filePath("programm/lunaris"); }
    QString runtime() const { return m_root.filePath("runtime"); }
    QString root() const { return m_root.path(); }

    void start(QProcess& process, const QString& workingDirectory) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime());
        env.insert("XDG_CONFIG_HOME", m_root.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workingDirectory);
        process.start(executable(), {});
    }

private:
    QTemporaryDir m_root;
};

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void usesTheDatabaseInItsOwnFolder();
    void secondInstanceEndsAtOnce();
};

void TestStartup::usesTheDatabaseInItsOwnFolder()
{
    ProgramFolder program;
    QProcess process;
    program.start(process, program.root()); // started from elsewhere, as from a shortcut
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(program.folder() + "/Kavemo.mdb").size() > 0, 20000);
    QVERIFY(!QFileInfo::exists(program.root() + "/Kavemo.mdb"));
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();
}

void TestStartup::secondInstanceEndsAtOnce()
{
    ProgramFolder program;
    QProcess first;
    program.start(first, program.folder());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(program.folder() + "/Kavemo.mdb").size() > 0, 20000);

    QProcess second;
    program.start(second, program.folder());
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    // Once the first has gone, the program starts again (no lock is left behind by a killed instance).
    first.kill();
    first.waitForFinished();
    QProcess third;
    program.start(third, program.folder());
    QVERIFY(third.waitForStarted());
    QVERIFY(!third.waitForFinished(1500));
    third.kill();
    third.waitForFinished();
}

LUNARIS_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
