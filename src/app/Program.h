#pragma once

#include "store/Database.h"

#include <QString>

#include <memory>

class MessageService;
class SingleInstance;

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

// Opens the practice database on a server for the start-up; an unreachable server, a refused login or
// a database that cannot be used is reported like a bad file, naming the server and the reason.
std::unique_ptr<Database> openPracticeDatabase(const ServerAddress& server, MessageService& messages);

// Checks the database setting read at start. Empty (the file) passes; anything that is not a usable
// PostgreSQL URI is reported, naming the setting, and false comes back: the program ends, writing nothing.
bool acceptConnectSetting(const QString& connect, MessageService& messages);

// Takes the single-instance guard. False when the program is to end: silently when another instance
// runs, with a message when one is still ending after the wait.
bool claimSingleInstance(SingleInstance& instance, MessageService& messages);
