#pragma once

#include <functional>

class QWidget;
struct AppServices;

// "Beispielpraxis laden": asks, then puts the demo practice into the empty database; refused (with
// a message, before the question) once the database holds any day, chair or treatment, or when this
// workstation may not write.
class DemoPracticeCommand {
public:
    // databaseWritable: waits for the file's check; false (after its message) when nothing may be written.
    DemoPracticeCommand(AppServices& services, QWidget* parent, std::function<bool()> databaseWritable);

    // True when the demo was loaded.
    bool run();

private:
    void refuse();

    AppServices& m_services;
    QWidget* m_parent;
    std::function<bool()> m_databaseWritable;
};
