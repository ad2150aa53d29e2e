#pragma once
// What every benchmark program needs: timing a piece of work, printing a
// figure as a "name: value unit" line, random test words, and the failure line.
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QString>

#include <cstdio>
#include <functional>

inline double Seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

inline void PrintFigure(const char *name, double value, const char *unit, int decimals = 4)
{
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

inline QString
RandomWord(QRandomGenerator &rng, int length,
           const QString &letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzäöüABCDEFGHIJKLMNOPQRSTUVWXYZ"))
{
    QString s;
    for (int i = 0; i < length; ++i)
        s += letters.at(int(rng.bounded(quint32(letters.size()))));
    return s;
}

// Prints why the benchmark could not run; returns the exit code for it.
inline int Fail(const char *program, const QString &what)
{
    std::fprintf(stderr, "%s: %s\n", program, qPrintable(what));
    return 1;
}
