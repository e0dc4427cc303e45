#include "TDataSet.h"

#include "TRussianCollation.h"

#include <QDateTime>
#include <QVarLengthArray>

#include <algorithm>
#include <numeric>

namespace {

const QString kClosedDataSet = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kReadOnly = QStringLiteral("Cannot modify a read-only dataset");

} // namespace

// ---------------------------------------------------------------------------------------------
// TDataSet: open state and fields

TDataSet::TDataSet(QString name) : fName(std::move(name)) {}

TDataSet::~TDataSet()
{
    for (TDataSource* source : std::vector<TDataSource*>(fSources))
        source->SetDataSet(nullptr);
}

void TDataSet::CheckActive() const
{
    if (fState == dsInactive)
        throw EDatabaseError(kClosedDataSet);
}

void TDataSet::Open()
{
    if (Active())
        return;
    try {
        DoOpen();
    } catch (...) {
        ClearFields();
        fOrder.clear();
        fHasOrder = false;
        throw;
    }
    fOrder.clear();
    fHasOrder = false;
    fPositionsValid = false;
    fInsertPos = -1;
    fReadPos = -1;
    fModified = false;
    fPos = 0;
    fState = dsBrowse; // before the row count is asked: a closed set has none
    fBof = true;
    fEof = RowCount() == 0;
    NotifyActive();
}

void TDataSet::Close()
{
    if (!Active())
        return;
    fState = dsInactive;
    fEditBuffer.clear();
    fInsertPos = -1;
    fReadPos = -1;
    fModified = false;
    NotifyActive();
    DoClose();
    ClearFields();
    fOrder.clear();
    fOrder.shrink_to_fit();
    fHasOrder = false;
    fPositionOfRow.clear();
    fPositionOfRow.shrink_to_fit();
    fPositionsValid = false;
    fPos = -1;
    fBof = fEof = true;
}

TField* TDataSet::AddField(std::unique_ptr<TField> field)
{
    field->fIndex = int(fFields.size());
    fFields.push_back(std::move(field));
    return fFields.back().get();
}

void TDataSet::ClearFields()
{
    fFields.clear();
}

TField* TDataSet::FieldNamed(const QString& name) const
{
    for (const auto& f : fFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField* TDataSet::FieldRequired(const QString& name) const
{
    if (TField* f = FieldNamed(name))
        return f;
    const QString msg = FormatMessage(QStringLiteral("Field '%s' not found"), {name});
    throw EDatabaseError(fName.isEmpty() ? msg : FormatMessage(QStringLiteral("%s: %s"), {fName, msg}));
}

// ---------------------------------------------------------------------------------------------
// Positions and the stored rows behind them

int TDataSet::RowCount() const
{
    if (fState == dsInactive)
        return 0;
    const int stored = StoredPositions();
    return stored + (fInsertPos >= 0 ? 1 : 0);
}

void TDataSet::MaterialiseOrder()
{
    if (fHasOrder)
        return;
    fOrder.resize(std::size_t(StoredRowCount()));
    std::iota(fOrder.begin(), fOrder.end(), 0u);
    fHasOrder = true;
}

int TDataSet::ReadPosition() const
{
    return fReadPos >= 0 ? fReadPos : fPos;
}

bool TDataSet::ReadingEditBuffer() const
{
    if (fState != dsEdit && fState != dsInsert)
        return false;
    return ReadPosition() == fPos;
}

QVariant TDataSet::ReadValue(int field) const
{
    if (fState == dsInactive || field < 0)
        return {};
    if (ReadingEditBuffer())
        return fEditBuffer.at(std::size_t(field));
    int pos = ReadPosition();
    if (fInsertPos >= 0 && pos > fInsertPos)
        --pos;
    if (pos < 0 || pos >= (StoredPositions()))
        return {};
    return StoredValue(StoredRowAt(pos), field);
}

bool TDataSet::ReadIsNull(int field) const
{
    if (fState == dsInactive || field < 0)
        return true;
    if (ReadingEditBuffer())
        return fEditBuffer.at(std::size_t(field)).isNull();
    int pos = ReadPosition();
    if (fInsertPos >= 0 && pos > fInsertPos)
        --pos;
    if (pos < 0 || pos >= (StoredPositions()))
        return true;
    return StoredIsNull(StoredRowAt(pos), field);
}

QString TDataSet::ReadText(int field) const
{
    if (fState == dsInactive || field < 0)
        return {};
    if (ReadingEditBuffer())
        return fEditBuffer.at(std::size_t(field)).toString();
    int pos = ReadPosition();
    if (fInsertPos >= 0 && pos > fInsertPos)
        --pos;
    if (pos < 0 || pos >= (StoredPositions()))
        return {};
    return StoredText(StoredRowAt(pos), field);
}

bool TDataSet::ReadUtf8(int field, QByteArrayView& utf8) const
{
    if (fState == dsInactive || field < 0 || ReadingEditBuffer() || !HasUtf8Text(field))
        return false;
    int pos = ReadPosition();
    if (fInsertPos >= 0 && pos > fInsertPos)
        --pos;
    if (pos < 0 || pos >= (StoredPositions()))
        utf8 = {};
    else
        utf8 = StoredUtf8(StoredRowAt(pos), field);
    return true;
}

QString TDataSet::StoredText(int row, int field) const
{
    return StoredValue(row, field).toString();
}

int TDataSet::StoreAppend(const std::vector<QVariant>&)
{
    ReadOnlyError();
}

void TDataSet::StoreUpdate(int, const std::vector<QVariant>&)
{
    ReadOnlyError();
}

void TDataSet::ReadOnlyError() const
{
    throw EDatabaseError(kReadOnly);
}

// ---------------------------------------------------------------------------------------------
// Cursor and windows

void TDataSet::PlaceWindow(TDataLink* link, WindowMove how) const
{
    const int b = link->fBufferCount;
    int first = link->fFirst;
    switch (how) {
    case WindowMove::Top:
        first = fPos;
        break;
    case WindowMove::Bottom:
        first = fPos - b + 1;
        break;
    case WindowMove::Center:
        first = fPos - (b - 1) / 2;
        break;
    case WindowMove::Scroll:
    case WindowMove::Keep:
        if (fPos < first)
            first = fPos;
        else if (fPos >= first + b)
            first = fPos - b + 1;
        break;
    }
    link->fFirst = first;
    NormaliseWindow(link);
}

void TDataSet::NormaliseWindow(TDataLink* link) const
{
    // The window holds as many records as there are, and always the cursor's.
    const int n = RowCount();
    const int b = link->fBufferCount;
    int first = std::min(link->fFirst, n - b);
    first = std::max(first, 0);
    if (n > 0 && fPos < first)
        first = fPos;
    if (n > 0 && fPos >= first + b)
        first = fPos - b + 1;
    link->fFirst = std::max(first, 0);
}

void TDataSet::PositionTo(int pos, WindowMove how, bool notifyScroll)
{
    fPos = pos;
    fReadPos = -1;
    // Held inline: a walk over every record moves here once per record.
    QVarLengthArray<std::pair<TDataLink*, int>, 8> slides;
    for (TDataSource* source : fSources)
        for (TDataLink* link : source->fLinks) {
            if (!link->fActive)
                continue;
            const int old = link->fFirst;
            PlaceWindow(link, how);
            slides.emplace_back(link, link->fFirst - old);
        }
    if (fSuspendCount > 0) {
        fChangedWhileSuspended = true;
        return;
    }
    for (auto [link, d] : slides) {
        if (notifyScroll)
            link->DataSetScrolled(d);
        else
            link->DataSetChanged();
    }
}

void TDataSet::MoveFirst()
{
    CheckActive();
    CheckBrowseMode();
    fBof = true;
    fEof = RowCount() == 0;
    PositionTo(0, WindowMove::Top, false);
}

void TDataSet::MoveLast()
{
    CheckActive();
    CheckBrowseMode();
    fEof = true;
    fBof = RowCount() == 0;
    PositionTo(std::max(0, RowCount() - 1), WindowMove::Bottom, false);
}

int TDataSet::MoveRelative(int distance)
{
    CheckActive();
    CheckBrowseMode();
    const int n = RowCount();
    if (n == 0) {
        fBof = fEof = true;
        return 0;
    }
    if (distance == 0)
        return 0;
    const qint64 wanted = qint64(fPos) + distance;
    const int target = int(std::clamp<qint64>(wanted, 0, n - 1));
    const int moved = target - fPos;
    if (distance > 0) {
        fEof = moved < distance;
        fBof = false;
    } else {
        fBof = moved > distance;
        fEof = false;
    }
    if (moved != 0)
        PositionTo(target, WindowMove::Scroll, true);
    return moved;
}

int TDataSet::RecordCount() const
{
    CheckActive();
    return StoredPositions();
}

int TDataSet::RecordNumber() const
{
    if (fState == dsInactive)
        return -1;
    if (RowCount() == 0)
        return 0;
    // The record a link made readable for a moment counts, as for its field values.
    int pos = ReadPosition();
    if (fInsertPos >= 0) {
        if (pos == fInsertPos)
            return -1;
        if (pos > fInsertPos)
            --pos;
    }
    return pos + 1;
}

void TDataSet::SetRecordNumber(int number)
{
    CheckActive();
    const int n = RowCount();
    if (n == 0)
        return;
    MoveRelative(std::clamp(number - 1, 0, n - 1) - fPos);
}

// ---------------------------------------------------------------------------------------------
// Bookmarks

std::vector<int> TDataSet::PositionOfRowTable() const
{
    std::vector<int> table(std::size_t(StoredRowCount()), -1);
    for (std::size_t pos = 0; pos < fOrder.size(); ++pos)
        table[fOrder[pos]] = int(pos);
    return table;
}

QByteArray TDataSet::Bookmark() const
{
    if (fState == dsInactive || RowCount() == 0)
        return {};
    // As for field values: the record a link made readable for a moment.
    int pos = ReadPosition();
    if (fInsertPos >= 0) {
        if (pos == fInsertPos)
            return {};
        if (pos > fInsertPos)
            --pos;
    }
    return QByteArray::number(StoredRowAt(pos));
}

bool TDataSet::BookmarkValid(const QByteArray& bookmark) const
{
    if (fState == dsInactive || bookmark.isEmpty())
        return false;
    bool ok = false;
    const int row = bookmark.toInt(&ok);
    if (!ok || row < 0 || row >= StoredRowCount())
        return false;
    if (!fHasOrder)
        return true;
    if (!fPositionsValid) {
        fPositionOfRow = PositionOfRowTable();
        fPositionsValid = true;
    }
    return fPositionOfRow[std::size_t(row)] >= 0;
}

int TDataSet::BookmarkOrder(const QByteArray& a, const QByteArray& b) const
{
    const bool va = BookmarkValid(a);
    const bool vb = BookmarkValid(b);
    if (!va || !vb)
        return int(va) - int(vb);
    int pa = a.toInt();
    int pb = b.toInt();
    if (fHasOrder) {
        pa = fPositionOfRow[std::size_t(pa)];
        pb = fPositionOfRow[std::size_t(pb)];
    }
    return (pa > pb) - (pa < pb);
}

void TDataSet::SetBookmark(const QByteArray& bookmark)
{
    CheckActive();
    CheckBrowseMode();
    if (!BookmarkValid(bookmark))
        throw EDatabaseError(QStringLiteral("Record not found"));
    int pos = bookmark.toInt();
    if (fHasOrder)
        pos = fPositionOfRow[std::size_t(pos)];
    fBof = fEof = false;
    PositionTo(pos, WindowMove::Center, false);
}

// ---------------------------------------------------------------------------------------------
// Notifications

template <class F>
void TDataSet::ForEachLink(F&& f) const
{
    // A handler may attach or detach links: walk copies (held inline, as this runs per move).
    const QVarLengthArray<TDataSource*, 4> sources(fSources.begin(), fSources.end());
    for (TDataSource* source : sources) {
        const QVarLengthArray<TDataLink*, 8> links(source->fLinks.begin(), source->fLinks.end());
        for (TDataLink* link : links)
            f(link);
    }
}

void TDataSet::NotifyActive()
{
    const bool active = Active();
    ForEachLink([&](TDataLink* link) {
        if (fSuspendCount > 0 && active && !link->fActive) {
            // Opened while suspended: follow quietly; the last resume reports it. A close is
            // always reported at once, since the fields it destroys may be referenced.
            link->fActive = true;
            link->fActivatedQuietly = true;
            PlaceWindow(link, WindowMove::Top);
            return;
        }
        if (!active && link->fActivatedQuietly) {
            // Closed again before the resume: the link never heard of the open either.
            link->fActive = false;
            link->fActivatedQuietly = false;
            link->fFirst = 0;
            return;
        }
        link->fActivatedQuietly = false;
        link->SetActive(active);
    });
}

void TDataSet::NotifyChanged()
{
    if (fState == dsInactive)
        return;
    if (fSuspendCount > 0) {
        fChangedWhileSuspended = true;
        return;
    }
    ForEachLink([](TDataLink* link) {
        if (link->fActive)
            link->DataSetChanged();
    });
}

void TDataSet::NotifyEditing()
{
    if (fSuspendCount > 0)
        return;
    ForEachLink([](TDataLink* link) {
        if (link->fActive)
            link->EditingChanged();
    });
}

void TDataSet::NotifyRecord(TField* field)
{
    if (fSuspendCount > 0)
        return;
    ForEachLink([field](TDataLink* link) {
        if (link->fActive)
            link->RecordChanged(field);
    });
}

void TDataSet::DataChanged()
{
    fReadPos = -1;
    ForEachLink([this](TDataLink* link) {
        if (link->fActive)
            PlaceWindow(link, WindowMove::Keep);
    });
    NotifyChanged();
}

void TDataSet::SuspendNotify()
{
    if (fSuspendCount++ == 0) {
        fChangedWhileSuspended = false;
        ForEachLink([](TDataLink* link) { link->DisabledStateChanged(true); });
    }
}

void TDataSet::ResumeNotify()
{
    if (fSuspendCount == 0)
        return;
    if (--fSuspendCount > 0)
        return;
    ForEachLink([](TDataLink* link) { link->DisabledStateChanged(false); });
    // Resynchronise the attached controls once.
    ForEachLink([this](TDataLink* link) {
        if (link->fActivatedQuietly) {
            link->fActivatedQuietly = false;
            link->ActiveChanged();
        } else if (link->fActive && Active()) {
            link->DataSetChanged();
        }
    });
    fChangedWhileSuspended = false;
}

bool TDataSet::FocusField(TField* field)
{
    bool handled = false;
    ForEachLink([&](TDataLink* link) {
        if (!handled && link->fActive)
            link->FocusControl(field, handled);
    });
    return handled;
}

// ---------------------------------------------------------------------------------------------
// Sorting

namespace {

// Orders rows by their ranks, rows of equal rank keeping their order: two stable counting passes
// over the rank's halves, a few milliseconds for millions of rows.
template <class RankOf>
void SortRowsByRank(std::vector<std::uint32_t>& rows, RankOf rankOf)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keyed(rows.size()), other(rows.size());
    std::uint32_t highest = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keyed[i] = {rankOf(rows[i]), rows[i]};
        highest = std::max(highest, keyed[i].first);
    }
    for (int shift = 0; shift < 32 && (shift == 0 || (highest >> shift) != 0); shift += 16) {
        std::vector<std::size_t> start(65537, 0);
        for (const auto& k : keyed)
            ++start[((k.first >> shift) & 0xFFFF) + 1];
        for (std::size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const auto& k : keyed)
            other[start[(k.first >> shift) & 0xFFFF]++] = k;
        keyed.swap(other);
    }
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = keyed[i].second;
}

} // namespace

void TDataSet::SortBy(const QString& fieldName)
{
    CheckActive();
    CheckBrowseMode();
    TField* field = FieldRequired(fieldName);
    const int fi = field->Index();
    MaterialiseOrder();
    const std::size_t n = fOrder.size();
    if (n > 1) {
        if (field->IsNumeric() || field->IsDateTime() || field->DataType() == ftBoolean) {
            std::vector<std::pair<double, std::uint32_t>> keys(n);
            std::vector<char> blank(StoredRowCount(), 0);
            for (std::size_t i = 0; i < n; ++i) {
                const int row = int(fOrder[i]);
                const QVariant v = StoredValue(row, fi);
                blank[std::size_t(row)] = v.isNull();
                double d = 0;
                if (!v.isNull())
                    d = v.typeId() == QMetaType::QDateTime ? DateTimeToFloat(v.toDateTime()) : v.toDouble();
                keys[i] = {d, fOrder[i]};
            }
            std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
                const bool ba = blank[a.second], bb = blank[b.second];
                if (ba != bb)
                    return ba;
                return !ba && a.first < b.first;
            });
            for (std::size_t i = 0; i < n; ++i)
                fOrder[i] = keys[i].second;
        } else {
            // Blank values first, in their current order, then the texts (empty ones leading).
            const auto texts = std::stable_partition(fOrder.begin(), fOrder.end(),
                                                     [&](std::uint32_t row) { return StoredIsNull(int(row), fi); });
            std::vector<std::uint32_t> rest(texts, fOrder.end());
            if (HasStoredSortRanks(fi)) {
                SortRowsByRank(rest, [this, fi](std::uint32_t row) { return StoredSortRank(int(row), fi); });
            } else {
                std::function<QByteArrayView(std::uint32_t)> utf8Of;
                if (HasUtf8Text(fi))
                    utf8Of = [this, fi](std::uint32_t row) { return StoredUtf8(int(row), fi); };
                SortRowsByCollation(rest, utf8Of, [this, fi](std::uint32_t row) { return StoredText(int(row), fi); });
            }
            std::copy(rest.begin(), rest.end(), texts);
        }
    }
    fPositionsValid = false;
    fPos = 0;
    fReadPos = -1;
    fBof = true;
    fEof = RowCount() == 0;
    ForEachLink([this](TDataLink* link) {
        if (link->fActive)
            PlaceWindow(link, WindowMove::Top);
    });
    NotifyChanged();
}

// ---------------------------------------------------------------------------------------------
// Modification

void TDataSet::CheckCanModify() const
{
    CheckActive();
    if (!CanModify())
        ReadOnlyError();
}

void TDataSet::SetState(TDataSetState state)
{
    if (state == fState)
        return;
    fState = state;
    fModified = false;
    NotifyEditing();
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    ForEachLink([](TDataLink* link) {
        if (link->fActive)
            link->CheckBrowseMode();
    });
    if (fState == dsEdit || fState == dsInsert) {
        ForEachLink([](TDataLink* link) {
            if (link->fActive)
                link->UpdateData();
        });
        if (fModified)
            Post();
        else
            Cancel();
    }
}

void TDataSet::Edit()
{
    if (fState == dsEdit || fState == dsInsert)
        return;
    CheckCanModify();
    if (RowCount() == 0) {
        Insert();
        return;
    }
    fEditBuffer.assign(fFields.size(), QVariant());
    const int row = StoredRowAt(fInsertPos >= 0 && fPos > fInsertPos ? fPos - 1 : fPos);
    for (std::size_t f = 0; f < fFields.size(); ++f)
        fEditBuffer[f] = StoredValue(row, int(f));
    SetState(dsEdit);
}

void TDataSet::Insert()
{
    CheckCanModify();
    CheckBrowseMode();
    fEditBuffer.assign(fFields.size(), QVariant());
    fInsertPos = RowCount() == 0 ? 0 : fPos;
    fPos = fInsertPos;
    fBof = fEof = false;
    fState = dsInsert;
    fModified = false;
    PositionTo(fPos, WindowMove::Keep, false);
    NotifyEditing();
}

void TDataSet::Append()
{
    CheckCanModify();
    CheckBrowseMode();
    fEditBuffer.assign(fFields.size(), QVariant());
    fInsertPos = RowCount();
    fPos = fInsertPos;
    fBof = fEof = false;
    fState = dsInsert;
    fModified = false;
    PositionTo(fPos, WindowMove::Bottom, false);
    NotifyEditing();
}

void TDataSet::WriteValue(int field, const QVariant& value)
{
    if (fState != dsEdit && fState != dsInsert)
        throw EDatabaseError(kNotEditing);
    TField* f = Field(field);
    if (f->ReadOnly())
        throw EDatabaseError(FormatMessage(QStringLiteral("Field '%s' cannot be modified"), {f->FieldName()}));
    fEditBuffer.at(std::size_t(field)) = value;
    fModified = true;
    NotifyRecord(f);
}

void TDataSet::Post()
{
    CheckActive();
    if (fState == dsEdit) {
        const int row = StoredRowAt(fPos);
        StoreUpdate(row, fEditBuffer);
    } else if (fState == dsInsert) {
        const int row = StoreAppend(fEditBuffer);
        // Appended at the end of a result in stored order, the stored order still holds.
        if (fHasOrder || row != StoredRowCount() - 1 || fInsertPos != row) {
            if (!fHasOrder) {
                fOrder.resize(std::size_t(StoredRowCount() - 1));
                std::iota(fOrder.begin(), fOrder.end(), 0u);
                fHasOrder = true;
            }
            fOrder.insert(fOrder.begin() + fInsertPos, std::uint32_t(row));
        }
        fInsertPos = -1;
        fPositionsValid = false;
    } else {
        return;
    }
    fEditBuffer.clear();
    fState = dsBrowse;
    fModified = false;
    NotifyEditing();
    DataChanged();
}

void TDataSet::Cancel()
{
    if (fState == dsInsert) {
        const int pos = fInsertPos;
        fInsertPos = -1;
        fEditBuffer.clear();
        fState = dsBrowse;
        fModified = false;
        fPos = std::clamp(pos, 0, std::max(0, RowCount() - 1));
        NotifyEditing();
        DataChanged();
    } else if (fState == dsEdit) {
        fEditBuffer.clear();
        fState = dsBrowse;
        fModified = false;
        NotifyEditing();
        NotifyRecord(nullptr);
    }
}

void TDataSet::Delete()
{
    CheckActive();
    if (fState == dsInsert) {
        Cancel();
        return;
    }
    if (RowCount() == 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckCanModify();
    if (fState == dsEdit)
        Cancel();
    MaterialiseOrder();
    const int row = int(fOrder[std::size_t(fPos)]);
    StoreRemove(row);
    fOrder.erase(fOrder.begin() + fPos);
    fPositionsValid = false;
    if (fOrder.empty()) {
        fPos = 0;
        fBof = fEof = true;
    } else {
        fPos = std::min(fPos, int(fOrder.size()) - 1);
    }
    DataChanged();
}
