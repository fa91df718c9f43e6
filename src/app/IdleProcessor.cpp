#include "app/IdleProcessor.h"

#include <QAbstractEventDispatcher>
#include <QThread>

CIdleProcessor::CIdleProcessor(std::function<void()> function, QObject* parent)
    : QObject(parent), onIdle(std::move(function))
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CIdleProcessor::OnAboutToBlock);
}

bool CIdleProcessor::IsTopLevelLoop()
{
    return QThread::currentThread()->loopLevel() <= 1;
}

void CIdleProcessor::OnAboutToBlock()
{
    // The idle work may itself open no loop, but a guard costs nothing.
    if (running || !onIdle || !IsTopLevelLoop())
        return;
    running = true;
    ++passes;
    onIdle();
    running = false;
}
