#pragma once
// The text and table import "Import": the user maps each importable field of
// the open database to a column of a delimited text file or of a Paradox or
// dBase table, may skip a header line, load a blacklist and give one field a
// fixed value, and looks at a preview before the import starts.
#include "csvimport.h"
#include "importfields.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>

namespace Ui {
class TImportForm;
}

class QLineEdit;

namespace vt {

class TImportForm : public QDialog
{
    Q_OBJECT
public:
    explicit TImportForm(QWidget *parent = nullptr);
    ~TImportForm() override;
    void FormCreate() {}

    QString ColumnMapFile;
    QString ImportFileName;
    QString BlacklistFileName;
    bool PreviewShown = false;
    QStringList FixedEntryFields;

    // The delimiter in effect: the delimiter box's text, "Tab" and "Space" mapped.
    QString FieldDelimiter() const;
    // The quote box's character, empty for "keiner".
    QString quoteCharacter() const;

    bool ImportCVS(const QString &fileName);
    bool ImportDataBase(const QString &fileName);
    void BuildFieldEditors();
    void FreeFieldEditors();
    void LoadColumnMap();
    void SaveColumnMap();
    void FillPreview();

public slots:
    void OpenBitBtnClick();
    void BlacklistbtnClick();
    void BlacklistDeletebtnClick();
    void BlacklistInfobtnClick();
    void ImportBitBtnClick();
    void BitBtn1Click();
    void HilfeBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QList<int> columnNumbers() const;
    // Says which column box holds no whole number; false then.
    bool checkColumns();
    TextImportSettings textSettings() const;
    int previewRows() const;
    void previewSoon();
    void setPreviewShown(bool on);
    void clearPreviewRows();
    QString chooseFile(const QString &caption);

    Ui::TImportForm *ui;
    QList<ImportField> m_fields;
    QList<QLineEdit *> m_columnEdits;
    QTimer m_previewTimer;
    bool m_cancelled = false; // the last import was declined before anything was stored
};

} // namespace vt
