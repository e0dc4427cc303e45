#pragma once
// The directory window: search criteria at the top, the result in the grid below, the count found
// in the status bar. Built as designed at 96 dpi and scaled to the screen.

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TAnchors.h"
#include "TDataSet.h"
#include "TDBGridEhExport.h"
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
    QPushButton* export_ = nullptr;  // "export" in the design; a reserved word here
    TDBGridEh* DBS = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr;  // the status bar's one panel
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;

    TADOConnection ADOConnection1;
    TADOQuery ADOQuery1;
    TDataSource DataSource1;

    // Event handlers.
    void FormCreate();
    void FormDestroy();
    void searchClick();
    void clearClick();
    void DBSTitleClick(TColumnEh* column);

    // Shows every row of another table of the directory file, one grid column per field, as a
    // search shows its result (the command line's --table).
    void ShowTable(const QString& table);

    // Writes the open result to a file in a format ("txt", "csv", "htm", "rtf", "xls"), the name
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
    // Set for runs without a screen: no progress window, no dialogs.
    bool Quiet = false;
    const TProgramFiles& Files() const { return fFiles; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLayout();
    void PressDefaultButton();
    QRect Scaled(int left, int top, int width, int height) const;
    bool ExecuteSaveDialog();
    // Replaces the result by the one of the statement, makes its first record current and shows
    // the count found.
    void OpenResult(const QString& statement);
    // Runs a long grid operation with a progress window that shows after half a second; the
    // callback it gives returns false once the user cancelled.
    void WithProgress(const QString& text, const std::function<void(const TExportProgressEh&)>& work);

    TProgramFiles fFiles;
    TAnchors fAnchors;
};

// Runs a search (and a sort and an export) given on the command line through the window's own
// commands, without showing it: prints the status text, or the error on standard error. Returns
// the process exit code.
struct TCommandLine;
int RunCommandLine(const TCommandLine& commandLine);
