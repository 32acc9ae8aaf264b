#pragma once

#include <QString>

class Database;
class SettingsStore;
class MessageService;
class ModalRunner;
class PrinterProvider;

// The program's connections to the outside world, created once in main() (tests make their own):
// the database, the settings store, and the seams for message boxes and modal windows.
struct AppServices {
    Database& database;
    SettingsStore& settings;
    MessageService& messages;
    ModalRunner& modals;
    // Where print-outs go; null means the system's default printer.
    PrinterProvider* printers = nullptr;
    // The user's own folder for the copy of unsaved work; empty: no copy is kept.
    QString recoveryFolder = QString();
};
