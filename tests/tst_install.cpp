#include "TestMain.h"
#include "TestPaths.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {
const QString BuildDir = TestPaths::programDir() + QStringLiteral("/..");

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void installsOneProgramFolderAndAMenuEntry_data();
    void installsOneProgramFolderAndAMenuEntry();
    void installedProgramStartsInItsFolder();

private:
    // Runs "cmake --install" of this build into prefix, with the given per-user folders.
    bool install(const QString& prefix, const QProcessEnvironment& env);
};

bool TestInstall::install(const QString& prefix, const QProcessEnvironment& env)
{
    const QString cmake = QStandardPaths::findExecutable("cmake");
    if (cmake.isEmpty()) {
        qWarning("cmake not found");
        return false;
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(cmake, {"--install", BuildDir, "--prefix", prefix});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s", process.readAllStandardError().constData());
        return false;
    }
    return true;
}

void TestInstall::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("Windows installs with its installer (scripts/windows package tests it), not with cmake --install");
#endif
}

void TestInstall::installsOneProgramFolderAndAMenuEntry_data()
{
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<bool>("withXdgDataHome");
    QTest::newRow("plain folder, XDG_DATA_HOME set") << "Lunaris" << true;
    QTest::newRow("folder with blanks, default data folder") << "Mein Lunaris" << false;
}

void TestInstall::installsOneProgramFolderAndAMenuEntry()
{
    QFETCH(QString, folderName);
    QFETCH(bool, withXdgDataHome);
    QTemporaryDir root;
    const QString prefix = root.filePath(folderName);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DESTDIR");
    env.insert("HOME", root.filePath("home"));
    if (withXdgDataHome)
        env.insert("XDG_DATA_HOME", root.filePath("data"));
    else
        env.remove("XDG_DATA_HOME");
    QVERIFY(install(prefix, env));

    // The program folder: the program, its help and its icon side by side.
    const QFileInfo program(prefix + "/lunaris");
    QVERIFY(program.isFile());
    QVERIFY(program.isExecutable());
    for (const char* page : {"inhalt.html", "stichworte.html", "idealtag.html", "hilfe.css"})
        QVERIFY2(QFileInfo(prefix + "/hilfe/" + page).isFile(), page);
    QVERIFY(readText(prefix + "/lunaris.svg").contains("<svg"));
    // The administrator's script, named by the program's message about missing tables.
    QVERIFY(readText(prefix + "/server/lunaris-server.sql").contains("GRANT SELECT ON"));

    // The desktop entry in the installing user's menu, pointing at the installed files.
    const QString entryFolder =
        withXdgDataHome ? root.filePath("data/applications") : root.filePath("home/.local/share/applications");
    QCOMPARE(QDir(entryFolder).entryList(QDir::Files), QStringList{"lunaris.desktop"});
    const QStringList lines = readText(entryFolder + "/lunaris.desktop").split('\n');
    QCOMPARE(lines.first(), QString("[Desktop Entry]"));
    QVERIFY(lines.contains("Type=Application"));
    QVERIFY(lines.contains("Name=Lunaris"));
    QVERIFY(lines.contains("Exec=\"" + prefix + "/lunaris\""));
    QVERIFY(lines.contains("Icon=" + prefix + "/lunaris.svg"));
    QVERIFY(lines.contains("Categories=Office;MedicalSoftware;"));
    QVERIFY(lines.contains("Terminal=false"));
    const QStringList comment = lines.filter(QRegularExpression("^Comment="));
    QCOMPARE(comment.size(), 1);
    QVERIFY(comment.first().contains("Idealtage"));

    // Nothing else lands outside the program folder.
    QCOMPARE(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             withXdgDataHome ? QStringList({"data", folderName}) : QStringList({"home", folderName}));
}

void TestInstall::installedProgramStartsInItsFolder()
{
    QTemporaryDir root;
    const QString prefix = root.filePath("Lunaris");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root.filePath("home"));
    env.insert("XDG_DATA_HOME", root.filePath("data"));
    QVERIFY(install(prefix, env));

    QDir(root.path()).mkpath("runtime");
    QFile::setPermissions(root.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", root.filePath("runtime"));
    env.insert("XDG_CONFIG_HOME", root.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(root.path());
    program.start(prefix + "/lunaris", {});
    QVERIFY(program.waitForStarted());
    // The database of the practice is created in the program folder at the first start.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(prefix + "/Kavemo.mdb").size() > 0, 20000);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
}

LUNARIS_TEST_MAIN(TestInstall)
#include "tst_install.moc"
