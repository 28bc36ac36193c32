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

void Notes::aboutFile(const std::string& what)
{
    if (counts_.emplace(what, 0).second)
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
        if (n == 0) {
            out.push_back(what);
            continue;
        }
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

namespace {

bool isNumber(Kind k) { return k == Kind::Home || k == Kind::Mobile || k == Kind::Work || k == Kind::Fax; }

// The fields longer than the editor lets a user type, each with its limit;
// empty when none is.
std::string longFieldsOf(const Row& row, const store::Table& table)
{
    std::string out;
    for (const store::FieldLimit& limit : store::kFieldLimits) {
        const std::size_t length = store::characterCount(row[static_cast<std::size_t>(limit.field)]);
        if (length <= limit.longest)
            continue;
        out += out.empty() ? "the " : "; the ";
        out += describe(kindOfColumn(table, limit.field));
        out += " is longer than the " + std::to_string(limit.longest) + " characters the editor allows";
    }
    return out;
}

} // namespace

ImportPlan planImport(ReadResult read, const store::Table& table, const std::vector<std::string>& existingNames)
{
    ImportPlan plan;
    plan.notes = std::move(read.notes);
    plan.skipped = std::move(read.unreadable);
    std::unordered_set<std::string> used(existingNames.begin(), existingNames.end());
    const Kind unkept = &table == &store::kWorkTable ? Kind::Fax : Kind::Dept;
    plan.toAdd.reserve(read.cards.size());
    for (Card& card : read.cards) {
        if (!card[unkept].empty())
            plan.notes.add(std::string(unkept == Kind::Fax ? "fax numbers dropped; the Work group keeps none"
                                                           : "departments dropped; the Personal group keeps none"));
        Row row;
        store::CardTexts texts;
        bool dropped = false;
        for (int c = 0; c < store::kCardFields; ++c) {
            const auto at = static_cast<std::size_t>(c);
            const Kind kind = kindOfColumn(table, c);
            row[at] = text::cleaned(card[kind], kind == Kind::Address, dropped);
            if (isNumber(kind))
                row[at] = text::dialable(row[at]);
            std::string().swap(card[kind]); // what was read is not needed twice
            texts[at] = row[at];
        }
        if (dropped)
            plan.notes.add("control characters taken out of a card's fields");
        const char* failed = texts[store::kFieldName].empty() ? store::kNameEmpty : nullptr;
        if (!failed && texts[store::kFieldHome].empty() && texts[store::kFieldMobile].empty() &&
            texts[store::kFieldWork].empty() && texts[store::kFieldFifth].empty())
            failed = store::kNoNumber;
        if (!failed && used.count(row[0]))
            failed = store::kNameUsed;
        if (failed) {
            plan.skipped.push_back({card.number, card.line, row[0], failed});
            continue;
        }
        // Cut nothing: the card goes in whole, and the editor asks for the
        // field shorter when the card is next updated.
        if (std::string why = longFieldsOf(row, table); !why.empty()) {
            plan.longFields.push_back({card.number, card.line, row[0], std::move(why)});
            plan.notes.add("cards added whole with a field longer than the editor allows; the editor asks for it "
                           "shorter on the next Update");
        }
        used.insert(row[0]);
        plan.toAdd.push_back(std::move(row));
    }
    std::sort(plan.skipped.begin(), plan.skipped.end(),
              [](const Skipped& a, const Skipped& b) { return a.number < b.number; });
    return plan;
}

} // namespace numora::exchange
