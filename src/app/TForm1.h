#pragma once
// The directory window: search criteria at the top, the result in the grid below, the count found
// in the status bar. Built as designed at 96 dpi and scaled to the screen.

#include "TAnchors.h"
#include "TDBGridEhExport.h"
#include "TDirectorySearch.h"
#include "TProgramFiles.h"

#include <QWidget>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class TColumnEh;
class TDBGridEh;

class TForm1 : public QWidget
{
public:
    explicit TForm1(const TProgramFiles& files, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, named as designed.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* fio = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* fio_style = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* street = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* dom = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* phone = nullptr;
    QCheckBox* discrete = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* kvart = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* export_ = nullptr; // "export" in the design; a reserved word here
    TDBGridEh* DBS = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr; // the status bar's one panel
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;

    // The search the window runs; the record source's designed names reach into it.
    TDirectorySearch Directory;
    TADOConnection& ADOConnection1 = Directory.ADOConnection1;
    TADOQuery& ADOQuery1 = Directory.ADOQuery1;
    TDataSource& DataSource1 = Directory.DataSource1;

    // Event handlers.
    void FormCreate();
    void FormDestroy();
    void searchClick();
    void clearClick();
    void DBSTitleClick(TColumnEh* column);

    // Writes the open result to a file in a format ("txt", "csv", "htm", "rtf", "xls", "xlsx"), the name
    // taken as given; does nothing while no result is open.
    void ExportToFile(const QString& fileName, const QString& format);
    void exportClick();
    void N1Click();

    // The save dialog: its file name preset, its filter index (1 to 5) kept between exports.
    // Tests replace Run to answer in its place (return false for Cancel).
    struct TSaveDialog
    {
        QString FileName;
        int FilterIndex = 1;
        std::function<bool(TSaveDialog&)> Run;
    } SaveDialog1;

    QString StatusText() const;
    const TProgramFiles& Files() const { return fFiles; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fIndexingStarted = false;
    void BuildLayout();
    void PressDefaultButton();
    QRect Scaled(int left, int top, int width, int height) const;
    bool ExecuteSaveDialog();
    // Runs a long grid operation with a progress window that shows after half a second; the
    // callback it gives returns false once the user cancelled.
    void WithProgress(const QString& text, const std::function<void(const TExportProgressEh&)>& work);
    // Runs a search with a progress window that shows after half a second; its "Отмена" stops the
    // search (ECancelled), and the previous result comes back.
    void WithSearchProgress(const std::function<void()>& search);

    TProgramFiles fFiles;
    TAnchors fAnchors;
};
