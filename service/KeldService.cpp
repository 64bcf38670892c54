#include "KeldService.h"

KeldService::KeldService() : QObject(nullptr) {}

KeldService::~KeldService() = default;

void KeldService::SendMessage(int type, int id) { emit DbChanged(type, id); }

void KeldService::SendMessages(const QByteArray& array) { emit DbChanges(array); }
