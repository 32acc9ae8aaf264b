#pragma once

#include <QLockFile>
#include <QString>

// A per-user guard that tells whether another instance of the program is running.
class SingleInstance {
public:
    SingleInstance();
    // True when this is the only running instance; the guard is held until destruction.
    bool acquire();

private:
    QLockFile m_lock;
};
