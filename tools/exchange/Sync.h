#pragma once
// A group kept in step with a folder of vCard files, one card a file, as a
// program that syncs such a folder with a contacts server keeps it.
//
// Each card is the file <UID>.vcf (vCard 3.0), written as <UID>.vcf.tmp and
// renamed into place once every file written is on the disk, so the
// folder's syncing program never sees half a card; a run cut off before the
// renames leaves .tmp files, which the next run removes. What the sync knows
// from the last run (which file is which card, a fingerprint of the card
// then, and the file's size, time and inode then) is kept in the table
// NumoraSync<table> (NumoraSyncVemo, NumoraSyncWork) of the directory file
// itself: it moves with the cards when the data folder moves, and the
// group's side and that table change in one transaction, the group's
// through the data core's card calls. The folder's side is written first,
// so a run cut off anywhere leaves the folder holding cards that already
// match the group, which the next run finds equal and only records. The
// first release's record (one table NumoraSync holding each card's whole
// text) is read as it is and moved into these tables.
//
// A card changed on both sides keeps the group's version; the folder's is
// copied to conflicts/<UID>-<time>.vcf under the folder, where the syncing
// program does not look (a second file of the same UID in the folder itself
// would go to the server as a second card). An edit beats a deletion on the
// other side. Cards from the folder pass the import's checks; a refused one
// stays in the folder, is told each run, and is never deleted by the sync.
// Without a record of a card (the first run, or a lost table) cards are
// matched by name, then by their numbers: nothing is deleted then.

#include <cstddef>
#include <string>
#include <vector>

#include "store/Tables.h"
#include "tools/exchange/Exchange.h"

namespace numora::exchange {

struct SyncOptions {
    bool dryRun = false;
    bool force = false; // delete more than kFewDeletions / a tenth of a side
};

// More deletions on one side than this, or (beyond one) more than a tenth
// of that side's cards, stop the sync unless forced.
inline constexpr std::size_t kFewDeletions = 5;

struct SyncResult {
    std::vector<std::string> addedToGroup, changedInGroup, deletedFromGroup;
    std::vector<std::string> addedToFolder, changedInFolder, deletedFromFolder;
    std::vector<std::string> conflicts; // "name: the folder's version kept as FILE"
    std::vector<Skipped> refused;       // name is the file's name, reason why
    Notes notes;
    bool stopped = false; // too many deletions without force; nothing changed
    std::string stopReason;
};

// Keeps the group of the directory file and the folder in step, both ways.
// Throws std::runtime_error naming the file or folder that failed.
SyncResult syncGroup(const std::string& database, const store::Table& table, const std::string& folder,
                     const SyncOptions& options, const Progress& progress = {});

// The result as lines for the user ("added to the group: NAME", ...).
std::vector<std::string> syncSummary(const SyncResult& result, bool dryRun);

} // namespace numora::exchange
