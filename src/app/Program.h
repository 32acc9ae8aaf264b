#pragma once

#include "store/Database.h"

#include <QString>

#include <memory>

#include <functional>

class MessageService;
class ModalRunner;
class SettingsStore;
class SingleInstance;
struct LunarisState;

// The program's start-up: fixes the process-wide facts, refuses a second instance, opens the
// database and shows the main window. Returns the process's exit status.
int Main(int argc, char** argv);

// Opens the practice database for the start-up. A file that cannot be used is reported as
// "Fehler: <number> <description>" and null comes back: the program ends without touching the file.
// With an overlapped start check the caller builds its window meanwhile and calls
// confirmPracticeDatabase() before it shows it.
std::unique_ptr<Database> openPracticeDatabase(const QString& filePath, MessageService& messages,
                                               int busyTimeoutMs = Database::BusyTimeoutMs,
                                               Database::StartCheck startCheck = Database::StartCheck::Complete);

// Waits for the start's check of the program's own tables; damage is reported as a bad file is, and
// false comes back: the program ends without showing its window or touching the file.
bool confirmPracticeDatabase(const Database& database, MessageService& messages);

// A start on a server: the database, or none, and whether the user changed the connection meanwhile.
struct ServerStart {
    std::unique_ptr<Database> database;
    bool connectionChanged = false;
};
// Opens the server database for the start. When that fails the user sees the server and the reason and
// chooses: "Erneut versuchen" (again), "Verbindung ändern..." (changeConnection, which shows the
// "Datenbank" dialog: OK there ends this with connectionChanged, for the caller to try the new setting at
// once; Abbrechen asks again) or "Beenden" (no database: the program ends).
ServerStart openServerAtStart(const ServerAddress& server, MessageService& messages,
                              const std::function<bool()>& changeConnection);
// The "Datenbank" dialog before any database is open; true when it was closed with OK.
bool changeConnectionAtStart(SettingsStore& settings, MessageService& messages, ModalRunner& modals,
                             const QString& practiceFile);
// The database the setting names (read into state.DatabaseConnect), for the start: the file, or the
// server with the choice above, as often as the user changes the connection. Null: the program ends.
std::unique_ptr<Database> openStartDatabase(LunarisState& state, SettingsStore& settings, MessageService& messages,
                                            ModalRunner& modals);

// Whether files can be made in the folder (the practice database and SQLite's journal beside it).
bool folderTakesFiles(const QString& folder);
// The start's check of the practice file's folder. Where no file can be made there (on Windows, a program
// folder under "C:\Program Files") the user is told the folder and what to do, and chooses "Verbindung
// ändern..." (changeConnection: OK there ends this with ConnectionChanged; Abbrechen asks again) or
// "Beenden" (End). Never a second database elsewhere.
enum class PracticeFolder { Usable, ConnectionChanged, End };
PracticeFolder checkPracticeFolder(const QString& practiceFile, MessageService& messages,
                                   const std::function<bool()>& changeConnection);

// Why the database setting read at start cannot be used, naming the setting ("Fehler: 3170 ..."), or empty
// when it can (empty, the file, passes). The start then offers the same three ways on as for a server that
// fails: "Erneut versuchen" (the setting is read again), "Verbindung ändern..." and "Beenden".
QString connectSettingRefusal(const QString& connect);

// Takes the single-instance guard. False when the program is to end: silently when another instance
// runs, with a message when one is still ending after the wait.
bool claimSingleInstance(SingleInstance& instance, MessageService& messages);
