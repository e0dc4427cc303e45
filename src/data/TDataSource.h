#pragma once
// How controls follow a record set: a data source names the set, and each control holds a data
// link to the source that hears the set's notifications and keeps a window of its rows.

#include <QString>

#include <vector>

class TDataSet;
class TField;
class TDataLink;

// The record set's state, as a data source reports it to its controls.
enum TDataSetState
{
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsOther
};

// Controls attach to a record set through a data source; a data link is one control's end of it.
class TDataSource
{
public:
    explicit TDataSource(QString name = {});
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    const QString& Name() const { return fName; }
    TDataSet* DataSet() const { return fDataSet; }
    void SetDataSet(TDataSet* dataSet);
    TDataSetState State() const;

private:
    friend class TDataLink;
    friend class TDataSet;
    QString fName;
    TDataSet* fDataSet = nullptr;
    std::vector<TDataLink*> fLinks;
};

// One control's view of the record set: notifications, and a window of up to BufferCount
// consecutive records around the cursor that slides when the cursor leaves it.
class TDataLink
{
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return fDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return fActive; }
    bool ReadOnly = false;

    int BufferCount() const { return fBufferCount; }
    void SetBufferCount(int count);
    // Records the window holds now, and the active one's index in it.
    int RecordCount() const;
    int ActiveRecord() const;
    // Makes window record i the one fields read, until set back (reading another visible row).
    void SetActiveRecord(int index);
    // Absolute 0-based position of the window's first record in the result's order.
    int FirstRecord() const { return fFirst; }

protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* /*field*/, bool& /*handled*/) {}
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}
    // Notifications were suspended (true) or resumed (false).
    virtual void DisabledStateChanged(bool /*disabled*/) {}

private:
    friend class TDataSet;
    friend class TDataSource;
    void SetActive(bool active);

    TDataSource* fDataSource = nullptr;
    bool fActive = false;
    int fBufferCount = 1;
    int fFirst = 0;
    bool fActivatedQuietly = false;
};
