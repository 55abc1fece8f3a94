#pragma once

#include <QString>
#include <QStringList>

namespace orv {

class RandomSource;

// The paragraph put before every fortune.
QString FortuneHeader();

// The twelve fortunes, numbered 1 to 12 in this order.
const QStringList &FortuneTable();
constexpr int kFortuneCount = 12;

// `body`, CR LF, CR LF, the header, CR LF, CR LF and fortune `number`, with no line end after.
QString bodyWithFortune(const QString &body, int number);

// The fortune step for one message: a fresh draw from `random`, each of the twelve equally
// likely, for every call.
QString bodyWithDrawnFortune(const QString &body, RandomSource &random);

} // namespace orv
