// Which rows of a batch may convert at the same time.  Two rows that touch
// one file (the source or target of one is the source or target of the
// other: two sources with one target name, a target that is another row's
// source) convert one after the other in list order, so that each sees
// what it would see if the rows converted one at a time: the second of two
// with one target finds the first's archive there.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace qvo::convert {

// What one row touches: its source and its target.
struct RowFiles {
    std::string source;
    std::string target;
};

class RowDependencies {
public:
    explicit RowDependencies(const std::vector<RowFiles> &rows);
    RowDependencies(const RowDependencies &) = delete;
    RowDependencies &operator=(const RowDependencies &) = delete;

    // No earlier row that shares a file with `row` is unfinished.
    bool mayStart(int row) const;
    // `row` is done (converted, failed or skipped).
    void finished(int row);

private:
    struct FileUsers {
        std::vector<int> rows; // in list order
        size_t done = 0;       // rows[0..done) have finished
    };
    std::vector<std::vector<FileUsers *>> filesOfRow_;
    std::map<std::string, FileUsers> users_;
};

// One name for every path to a file: its folders resolved as far as they
// exist (links too), and ASCII letters in lower case, since a volume of old
// archives (FAT) may not tell cases apart.  Different names for one file
// would let two rows race; one name for two files only makes them wait.
std::string fileIdentity(const std::string &path);

} // namespace qvo::convert
