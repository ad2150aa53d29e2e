#pragma once
// An address table made from the shipped base database's field definitions in
// a temporary folder, for the import tests, and reading its records back.
#include "addresstable.h"
#include "importfields.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QFile>
#include <QProcess>
#include <QTest>

struct ImportTable
{
    TestFolder dir;
    QStringList definition = vt::ReadLines(TestFolder::resourcesDir() + "Data/Database.pro");
    QList<vt::ImportField> fields = vt::ImportableFields(definition);
    vt::AddressTable table;

    explicit ImportTable(const QStringList &proLines = {})
    {
        if (!proLines.isEmpty()) {
            definition = proLines;
            fields = vt::ImportableFields(definition);
        }
        if (makeTable(dir.file("Adressen.DB"), definition) && !table.open(dir.file("Adressen.DB")))
            QTest::qFail(qPrintable(table.lastError()), __FILE__, __LINE__);
    }

    // The position of a field among the importable fields.
    int field(const QString &name) const
    {
        for (qsizetype k = 0; k < fields.size(); ++k)
            if (fields.at(k).name == name)
                return int(k);
        return -1;
    }

    // Column numbers for the importable fields: field name -> column, others 0.
    QList<int> columns(const QList<QPair<QString, int>> &map) const
    {
        QList<int> out(fields.size(), 0);
        for (const auto &[name, column] : map)
            for (qsizetype k = 0; k < fields.size(); ++k)
                if (fields.at(k).name == name)
                    out[k] = column;
        return out;
    }

    // The text of the named fields of every record, in ID order, joined by "|".
    QStringList records(const QStringList &names)
    {
        table.refresh();
        QStringList out;
        for (qint64 r = 0; r < table.recordCount(); ++r) {
            QStringList values;
            for (const QString &n : names)
                values.append(table.textAt(r, table.fieldIndex(n)));
            out.append(values.join('|'));
        }
        return out;
    }
};

// Runs a Python script (the independent writer of fixtures); fails the test
// with the package to install when Python or a module is missing.
inline bool runPython(const QString &script, const QStringList &args = {})
{
    // Debian's interpreter, which sees the modules of Debian's python3-* packages.
    const QString python = QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    QProcess p;
    p.start(python, QStringList{"-c", script} + args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QTest::qFail(qPrintable("python3 failed (scripts/setup installs python3 and python3-dbf): " +
                                QString::fromLocal8Bit(p.readAllStandardError())),
                     __FILE__, __LINE__);
        return false;
    }
    return true;
}
