#pragma once
// The find dialog of the data grid (Ctrl+F): the user types a text, chooses a column or all of
// them, how a cell must match and which way to go, and steps through the matching records with
// "Find next". The dialog only collects the request; the grid searches. One dialog serves the
// whole program and keeps its settings and the texts searched for between openings.

#include "TDataServiceEh.h"

#include <QDialog>
#include <QPointer>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TColumnEh;
class TCustomDBGridEh;

class TDBGridEhFindDlg : public QDialog
{
    Q_OBJECT

public:
    // The program's dialog, made on first use; ExistingInstance gives none before that.
    static TDBGridEhFindDlg* Instance();
    static TDBGridEhFindDlg* ExistingInstance();

    // Readies the dialog for a grid: the text, the columns to choose from, the series restarted.
    void Prepare(TCustomDBGridEh* grid, const QString& text, const TFindColumnListEh* columns);
    // Shows the dialog: modal (returns when it is closed), or as a window that stays on top.
    void Run(bool modal);
    // One search of the series, as "Find next" does it (Ctrl held: the other way).
    void FindNext();

    TCustomDBGridEh* Grid() const { return fGrid; }
    bool FindFirstTry() const { return fFindFirstTry; }
    // Whether the tree row (for record sets with a tree structure) is shown.
    bool TreeRowShown() const { return fTreeRowShown; }

    // Controls.
    QLabel* Label1;
    QComboBox* cbText;
    QLabel* Label2;
    QComboBox* cbFindIn;
    QLabel* cbMatchType;
    QComboBox* cbMatchinType;
    QLabel* Label3;
    QComboBox* cbFindDirection;
    QCheckBox* cbCharCase;
    QCheckBox* cbUseFormat;
    QPushButton* bFind;
    QPushButton* bCancel;
    QLabel* Label4;
    QComboBox* dbcTreeFindRange;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TDBGridEhFindDlg();
    void SetTreeRowShown(bool shown);
    void SeriesChanged();
    void CentreOnScreen();

    QPointer<TCustomDBGridEh> fGrid;
    std::vector<TColumnEh*> fFindInColumns; // per entry of cbFindIn; none for "<All>"
    bool fFindFirstTry = true;
    bool fTreeRowShown = true;
    bool fFilling = false;
};

// The find-dialog procedure of the data service: shows the dialog for a grid, modal or not.
void ExecuteDBGridEhFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& fieldName,
                               const TFindColumnListEh* columns, bool modal);
