#include "rondel/publicrondellistener.h"

PublicRondelListener::PublicRondelListener(QObject* parent)
    : QObject(parent)
{
}
