#pragma once
// Reads an exported file back with independent readers (openpyxl for workbooks,
// Python's csv module for delimited text; readback.py), so that a fault shared
// by our writer and our own reader cannot hide.
#include "mimeoracle.h"
#include "testfolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

struct ReadBack
{
    QString error; // set when the file could not be read
    QStringList sheets;
    QString encoding;
    QList<QStringList> rows; // workbook: every row padded to the sheet's width
    QList<QStringList> types;
    QStringList fastest; // workbook: the parts packed at zlib's fastest level
};

inline ReadBack ReadExport(const QStringList &arguments)
{
    ReadBack r;
    const QString python = QStringLiteral("/usr/bin/python3");
    r.error = MissingProgram(python, QStringLiteral("python3"));
    if (!r.error.isEmpty())
        return r;
    QProcess p;
    p.start(python,
            QStringList{TestFolder::resourcesDir() + QStringLiteral("../tests/exchange/readback.py")} + arguments);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        const QString stderrText = QString::fromUtf8(p.readAllStandardError());
        r.error = stderrText.contains(QLatin1String("No module named 'openpyxl'"))
                      ? QStringLiteral("openpyxl is missing: install the Debian package python3-openpyxl "
                                       "(scripts/setup)")
                      : QStringLiteral("readback.py failed: ") + stderrText;
        return r;
    }
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    for (const QJsonValue &s : o.value("sheets").toArray())
        r.sheets.append(s.toString());
    r.encoding = o.value("encoding").toString();
    for (const QJsonValue &s : o.value("fastest").toArray())
        r.fastest.append(s.toString());
    auto table = [](const QJsonArray &rows) {
        QList<QStringList> out;
        for (const QJsonValue &row : rows) {
            QStringList cells;
            for (const QJsonValue &c : row.toArray())
                cells.append(c.isString() ? c.toString() : c.toVariant().toString());
            out.append(cells);
        }
        return out;
    };
    r.rows = table(o.value("rows").toArray());
    r.types = table(o.value("types").toArray());
    return r;
}

inline ReadBack ReadWorkbook(const QString &path)
{
    return ReadExport({QStringLiteral("xlsx"), path});
}

inline ReadBack ReadDelimited(const QString &path, const QString &delimiter)
{
    return ReadExport({QStringLiteral("csv"), path, delimiter});
}

#define READ_EXPORT(view, call)                                                                                        \
    const ReadBack view = call;                                                                                        \
    QVERIFY2(view.error.isEmpty(), qPrintable(view.error))
