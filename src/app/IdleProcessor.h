#pragma once
// The program's idle pass: runs a function whenever the top-level event loop
// has handled what was waiting and is about to sleep. Nested loops (a drag, a
// modal dialog, a popup menu) are left alone: what the idle pass frees may
// still be in use by the code that started them.

#include <QObject>

#include <functional>

class CIdleProcessor : public QObject
{
    Q_OBJECT

public:
    explicit CIdleProcessor(std::function<void()> onIdle, QObject* parent = nullptr);

    // True when no event loop is nested inside the program's own one (the
    // application's loop, or none at all while starting up and in tests).
    static bool IsTopLevelLoop();

    int GetPassCount() const { return passes; }

private:
    void OnAboutToBlock();

    std::function<void()> onIdle;
    bool running = false;
    int passes = 0;
};
