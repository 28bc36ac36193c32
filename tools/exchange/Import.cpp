// What an import adds: the cards read, mapped onto the group's columns and
// checked as the editor checks a typed card.

#include "tools/exchange/Exchange.h"
#include "tools/exchange/Text.h"

#include <algorithm>
#include <unordered_set>

#include "store/CardChecks.h"

namespace numora::exchange {

void Notes::add(const std::string& what)
{
    if (counts_[what]++ == 0)
        order_.push_back(what);
}

void Notes::addCard(const Notes& card)
{
    for (const std::string& what : card.order_)
        add(what);
}

std::vector<std::string> Notes::lines() const
{
    std::vector<std::string> out;
    for (const std::string& what : order_) {
        const std::size_t n = counts_.at(what);
        out.push_back(what + " (" + std::to_string(n) + (n == 1 ? " card)" : " cards)"));
    }
    return out;
}

Kind kindOfColumn(const store::Table& table, int column)
{
    static constexpr Kind kinds[] = {Kind::Name, Kind::Home,    Kind::Mobile, Kind::Work,
                                     Kind::Fax,  Kind::Address, Kind::Email};
    if (column == store::kFieldFifth)
        return &table == &store::kWorkTable ? Kind::Dept : Kind::Fax;
    return kinds[column];
}

ImportPlan planImport(ReadResult read, const store::Table& table, const std::vector<std::string>& existingNames)
{
    ImportPlan plan;
    plan.notes = std::move(read.notes);
    plan.skipped = std::move(read.unreadable);
    std::unordered_set<std::string> used(existingNames.begin(), existingNames.end());
    const Kind unkept = &table == &store::kWorkTable ? Kind::Fax : Kind::Dept;
    for (const Card& card : read.cards) {
        if (!card[unkept].empty())
            plan.notes.add(std::string(unkept == Kind::Fax ? "fax numbers dropped; the Work group keeps none"
                                                           : "departments dropped; the Personal group keeps none"));
        Row row;
        store::CardTexts texts;
        for (int c = 0; c < store::kCardFields; ++c) {
            const auto at = static_cast<std::size_t>(c);
            row[at] = std::string(store::trimBlanks(card[kindOfColumn(table, c)]));
            texts[at] = row[at];
        }
        const char* failed = store::firstFailedCheck(texts);
        if (!failed && used.count(row[0]))
            failed = store::kNameUsed;
        if (failed) {
            plan.skipped.push_back({card.number, card.line, row[0], failed});
            continue;
        }
        used.insert(row[0]);
        plan.toAdd.push_back(std::move(row));
    }
    std::sort(plan.skipped.begin(), plan.skipped.end(),
              [](const Skipped& a, const Skipped& b) { return a.number < b.number; });
    return plan;
}

} // namespace numora::exchange
