#pragma once

#include <QString>

// The test server's password must never reach a message box, a window title or a log line. Every box
// the scripted seam records and every line Qt logs is scanned for it; a find stops the test program
// at once, naming where it was found (never the password itself).
namespace SecretScan {
// Starts scanning the program's log lines (installed by LUNARIS_TEST_MAIN).
void install();
// Stops the program when the text holds the test server's password.
void check(const QString& text, const char* where);
} // namespace SecretScan
