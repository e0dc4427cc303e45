#include "TDirectoryIndex.h"

#include "TRussianCollation.h"
#include "TTextMatcher.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>
#include <string>
#include <thread>

namespace {

// Columns whose values are this long on average get signatures: for shorter ones reading the
// signature costs about what matching the value does.
constexpr std::size_t kSignedAverageBytes = 8;
// Columns of texts this long get 64 signature bits: their many pairs of letters fill 32 bits.
constexpr std::size_t kWideAverageBytes = 24;
// Tables of fewer rows are read by one thread.
constexpr std::uint32_t kParallelRows = 200000;
// Rows between two looks at the cancel token.
constexpr std::uint32_t kCancelCheckRows = 1u << 16;

// Ranks of one column's values: rows sorted as the record set sorts them, then numbered, a value
// that compares equal to the one before taking its number.
TPlainBuffer<std::uint32_t> SortRanks(const TResultTable& rows, int column)
{
    std::vector<std::uint32_t> order;
    order.reserve(std::size_t(rows.RowCount()));
    for (int row = 0; row < rows.RowCount(); ++row)
        if (!rows.IsNull(row, column))
            order.push_back(std::uint32_t(row));
    SortRowsByCollation(order, [&](std::uint32_t row) { return rows.Raw(int(row), column); }, {});

    std::vector<std::uint32_t> ranks(std::size_t(rows.RowCount()), 0);
    const TRussianCollation& collation = TRussianCollation::Instance();
    std::string key, previousKey;
    qsizetype previousLength = -1;
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const QByteArrayView text = rows.Raw(int(order[i]), column);
        key.resize(2 * std::size_t(text.size()) + 1);
        const qsizetype length = collation.WriteKey(text, key.data());
        if (i > 0) {
            bool equal;
            if (length >= 0 && previousLength >= 0)
                equal = length == previousLength && std::equal(key.begin(), key.begin() + length, previousKey.begin());
            else
                equal =
                    collation.Compare(QString::fromUtf8(rows.Raw(int(order[i - 1]), column)), QString::fromUtf8(text))
                    == 0;
            if (!equal)
                ++rank;
        }
        ranks[order[i]] = rank;
        std::swap(key, previousKey);
        previousLength = length;
    }
    TPlainBuffer<std::uint32_t> result;
    result.append(ranks.data(), ranks.size());
    return result;
}

} // namespace

TDirectoryIndex::TDirectoryIndex(QString table, std::unique_ptr<TResultTable> rows, const QStringList& rankedColumns,
                                 const TCancelToken* token, const QString& path)
    : fTable(std::move(table)), fPath(path)
{
    const int columns = rows->ColumnCount();
    const int count = rows->RowCount();
    fText.resize(std::size_t(columns));
    fSignatures.resize(std::size_t(columns));
    fWideSignatures.resize(std::size_t(columns));
    std::vector<std::size_t> columnBytes(std::size_t(columns), 0);
    for (int column = 0; column < columns; ++column) {
        if (!IsTextFieldType(rows->Columns()[std::size_t(column)].DataType))
            continue;
        fText[std::size_t(column)] = true;
        for (int row = 0; row < count; ++row)
            columnBytes[std::size_t(column)] += std::size_t(rows->Raw(row, column).size());
        fTextBytes += columnBytes[std::size_t(column)];
    }

    // Signatures go to the columns of the longest texts first, as long as the index stays within
    // its room beside the rows and the sort ranks.
    const auto rankedCount =
        std::size_t(std::count_if(rankedColumns.begin(), rankedColumns.end(), [&](const QString& n) {
            for (int i = 0; i < columns; ++i)
                if (fText[std::size_t(i)] && rows->Columns()[std::size_t(i)].Name.compare(n, Qt::CaseInsensitive) == 0)
                    return true;
            return false;
        }));
    const double room = MemoryFactor * double(fTextBytes) - double(rows->MemoryUsed())
                        - double(rankedCount * std::size_t(count) * sizeof(std::uint32_t));
    double left = room;
    std::vector<int> byLength;
    for (int column = 0; column < columns; ++column)
        if (count > 0 && fText[std::size_t(column)]
            && columnBytes[std::size_t(column)] / std::size_t(count) >= kSignedAverageBytes)
            byLength.push_back(column);
    std::stable_sort(byLength.begin(), byLength.end(),
                     [&](int a, int b) { return columnBytes[std::size_t(a)] > columnBytes[std::size_t(b)]; });
    for (const int column : byLength) {
        const bool wide = columnBytes[std::size_t(column)] / std::size_t(count) >= kWideAverageBytes
                          && left >= double(count) * sizeof(std::uint64_t);
        if (!wide && left < double(count) * sizeof(std::uint32_t))
            continue;
        left -= double(count) * (wide ? sizeof(std::uint64_t) : sizeof(std::uint32_t));
        if (wide)
            fWideSignatures[std::size_t(column)].reserve(std::size_t(count));
        else
            fSignatures[std::size_t(column)].reserve(std::size_t(count));
        for (int row = 0; row < count; ++row) {
            if ((std::uint32_t(row) % kCancelCheckRows) == 0)
                ThrowIfCancelled(token);
            const QByteArrayView text = rows->Raw(row, column);
            const std::uint64_t signature = TTextMatcher::Signature(text.data(), text.size());
            if (wide)
                fWideSignatures[std::size_t(column)].push_back(signature);
            else
                fSignatures[std::size_t(column)].push_back(TTextMatcher::FoldSignature(signature));
        }
    }
    for (const QString& name : rankedColumns) {
        ThrowIfCancelled(token);
        const int column = [&] {
            for (int i = 0; i < columns; ++i)
                if (fText[std::size_t(i)]
                    && rows->Columns()[std::size_t(i)].Name.compare(name, Qt::CaseInsensitive) == 0)
                    return i;
            return -1;
        }();
        if (column >= 0)
            rows->SetSortRanks(column, SortRanks(*rows, column));
    }
    fRows = std::move(rows);
}

void TDirectoryIndex::ThrowIfCancelled(const TCancelToken* token) const
{
    if (token && token->IsCancelled())
        throw ECancelled(fPath);
}

int TDirectoryIndex::TextColumn(const QString& name) const
{
    const std::vector<TResultColumn>& columns = fRows->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (fText[i] && columns[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool TDirectoryIndex::Answers(const TSelectStatement& statement) const
{
    if (statement.Table.compare(fTable, Qt::CaseInsensitive) != 0)
        return false;
    return std::all_of(statement.Conditions.begin(), statement.Conditions.end(),
                       [this](const TCondition& condition) { return TextColumn(condition.Field) >= 0; });
}

std::unique_ptr<TResultTable> TDirectoryIndex::Select(const TSelectStatement& statement,
                                                      const TCancelToken* token) const
{
    struct TTest
    {
        int Column;
        TTextMatcher Matcher;
        std::uint32_t Required;
        std::uint64_t Required64;
        const std::uint32_t* Signatures; // null where the column keeps none of this width
        const std::uint64_t* WideSignatures;
    };
    std::vector<TTest> tests;
    tests.reserve(statement.Conditions.size());
    for (const TCondition& condition : statement.Conditions) {
        const int column = TextColumn(condition.Field);
        TTextMatcher matcher(condition.Literal, condition.Operator);
        const TPlainBuffer<std::uint32_t>& narrow = fSignatures[std::size_t(column)];
        const TPlainBuffer<std::uint64_t>& wide = fWideSignatures[std::size_t(column)];
        const std::uint64_t required = matcher.RequiredSignature();
        const bool useful = required != 0;
        tests.push_back({column, std::move(matcher), TTextMatcher::FoldSignature(required), required,
                         useful && narrow.size() != 0 ? narrow.data() : nullptr,
                         useful && wide.size() != 0 ? wide.data() : nullptr});
    }
    // The test that skips most rows unread goes first; the others look only at the rows it keeps.
    std::stable_sort(tests.begin(), tests.end(), [](const TTest& a, const TTest& b) {
        const int ka = a.WideSignatures ? 2 * std::popcount(a.Required64)
                       : a.Signatures   ? std::popcount(a.Required)
                                        : 0;
        const int kb = b.WideSignatures ? 2 * std::popcount(b.Required64)
                       : b.Signatures   ? std::popcount(b.Required)
                                        : 0;
        return ka > kb;
    });

    const TResultTable& rows = *fRows;
    std::vector<TResultTable::TColumnScan> scans;
    for (const TTest& test : tests)
        scans.push_back(rows.ScanColumn(test.Column));
    const auto signedFor = [&](const TTest& test, std::uint32_t row) {
        if (test.WideSignatures)
            return (test.WideSignatures[row] & test.Required64) == test.Required64;
        return !test.Signatures || (test.Signatures[row] & test.Required) == test.Required;
    };
    // The matcher's decision on the rows given (ascending), appended to out. The rows lie scattered
    // over the table: each is asked for from memory some rows before the matcher reads it.
    const auto decide = [&](std::size_t t, const std::uint32_t* candidates, std::size_t n,
                            std::vector<std::uint32_t>& out) {
        constexpr std::size_t kAhead = 8;
        const TTest& test = tests[t];
        const TResultTable::TColumnScan& scan = scans[t];
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 2 * kAhead < n)
                scan.PrefetchEnds(candidates[i + 2 * kAhead]);
            if (i + kAhead < n)
                scan.PrefetchValue(candidates[i + kAhead]);
            QByteArrayView text;
            if (scan.Get(candidates[i], text) && test.Matcher.MatchesUtf8(text.data(), text.size()))
                out.push_back(candidates[i]);
        }
    };

    std::vector<std::uint32_t> found;
    const auto count = std::uint32_t(rows.RowCount());
    if (tests.empty()) {
        found.resize(count);
        for (std::uint32_t row = 0; row < count; ++row)
            found[row] = row;
    } else {
        // The first test reads every row: the rows are split among the processor's cores.
        const unsigned parts = count < kParallelRows ? 1u : std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
        std::vector<std::vector<std::uint32_t>> partFound(parts);
        std::vector<std::exception_ptr> failures(parts);
        std::atomic<bool> stop{false};
        const auto scanPart = [&](unsigned part) {
            try {
                const std::uint32_t from = std::uint32_t(std::uint64_t(count) * part / parts);
                const std::uint32_t to = std::uint32_t(std::uint64_t(count) * (part + 1) / parts);
                std::vector<std::uint32_t>& out = partFound[part];
                std::vector<std::uint32_t> candidates;
                for (std::uint32_t block = from; block < to; block += kCancelCheckRows) {
                    if (stop.load(std::memory_order_relaxed) || (token && token->IsCancelled())) {
                        stop = true;
                        return;
                    }
                    // The signatures first, read straight through; the matcher then on the rows
                    // they let through.
                    candidates.clear();
                    const std::uint32_t end = std::min(to, block + kCancelCheckRows);
                    for (std::uint32_t row = block; row < end; ++row)
                        if (signedFor(tests[0], row))
                            candidates.push_back(row);
                    decide(0, candidates.data(), candidates.size(), out);
                }
            } catch (...) {
                failures[part] = std::current_exception();
                stop = true;
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (unsigned part = 1; part < parts; ++part)
                helpers.emplace_back(scanPart, part);
            scanPart(0);
        }
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
        ThrowIfCancelled(token);
        std::size_t total = 0;
        for (const auto& part : partFound)
            total += part.size();
        found.reserve(total);
        for (const auto& part : partFound)
            found.insert(found.end(), part.begin(), part.end());
        std::vector<std::uint32_t> kept;
        for (std::size_t t = 1; t < tests.size(); ++t) {
            ThrowIfCancelled(token);
            std::erase_if(found, [&](std::uint32_t row) { return !signedFor(tests[t], row); });
            kept.clear();
            decide(t, found.data(), found.size(), kept);
            found.swap(kept);
        }
    }
    TPlainBuffer<std::uint32_t> view;
    view.append(found.data(), found.size());
    return TResultTable::View(fRows, std::move(view));
}

std::size_t TDirectoryIndex::MemoryUsed() const
{
    std::size_t used = fRows->MemoryUsed();
    for (const TPlainBuffer<std::uint32_t>& signatures : fSignatures)
        used += signatures.capacity() * sizeof(std::uint32_t);
    for (const TPlainBuffer<std::uint64_t>& signatures : fWideSignatures)
        used += signatures.capacity() * sizeof(std::uint64_t);
    return used;
}
