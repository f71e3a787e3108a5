// Turns the hand-written list of built-in units (a tab-separated text file) into
// the SQLite database the program ships among its resources. Run by the build;
// any malformed line stops it with a message naming the line, so a typo in the
// data never reaches the program.
//
// Usage: tw_units_db <units.tsv> <Units.sqlite>

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace
{

struct Unit {
    std::string code;
    std::string name;
    std::string description;
    std::string symbol; // empty: none (stored as NULL)
    long decimalPlaces = 0;
    long type = 0;
    double rate = 0.0;
    long favourite = 0;
};

std::vector<std::string> splitTabs(const std::string &line)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool parseLong(const std::string &text, long min, long max, long &out)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool parseRate(const std::string &text, double &out)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v <= 0.0)
        return false;
    out = v;
    return true;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "YYYY-MM-DD" to seconds since 1970 at UTC midnight.
bool parseDate(const std::string &text, double &out)
{
    long y = 0, m = 0, d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        !parseLong(text.substr(0, 4), 1970, 9999, y) || !parseLong(text.substr(5, 2), 1, 12, m) ||
        !parseLong(text.substr(8, 2), 1, 31, d))
        return false;
    out = static_cast<double>(daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) *
                              86400);
    return true;
}

int fail(const std::string &path, int line, const std::string &message)
{
    std::cerr << path << ":" << line << ": " << message << "\n";
    return 1;
}

int sqliteFail(sqlite3 *db, const std::string &what)
{
    std::cerr << "tw_units_db: " << what << ": " << (db ? sqlite3_errmsg(db) : "out of memory")
              << "\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: tw_units_db <units.tsv> <Units.sqlite>\n";
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "tw_units_db: cannot read " << input << "\n";
        return 1;
    }

    std::vector<Unit> units;
    std::set<std::string> codes;
    bool haveDate = false;
    double lastUpdated = 0.0;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = splitTabs(line);
        if (line[0] == '@') {
            if (f.size() != 2 || f[0] != "@lastUpdated" || !parseDate(f[1], lastUpdated))
                return fail(input, lineNumber, "expected \"@lastUpdated<TAB>YYYY-MM-DD\"");
            haveDate = true;
            continue;
        }
        if (f.size() != 8)
            return fail(input, lineNumber, "expected 8 tab-separated fields");
        Unit u;
        u.code = f[0];
        u.name = f[1];
        u.description = f[2];
        u.symbol = f[3];
        if (u.code.empty() || u.code.size() > 3)
            return fail(input, lineNumber, "the code must have 1 to 3 characters");
        if (u.name.empty())
            return fail(input, lineNumber, "empty name");
        if (!codes.insert(u.code).second)
            return fail(input, lineNumber, "duplicate code " + u.code);
        if (!parseLong(f[4], 0, 6, u.decimalPlaces))
            return fail(input, lineNumber, "decimal places must be 0 to 6");
        if (!parseLong(f[5], 0, 2, u.type))
            return fail(input, lineNumber, "type must be 0, 1 or 2");
        if (!parseRate(f[6], u.rate))
            return fail(input, lineNumber, "the rate must be a positive number");
        if (!parseLong(f[7], 0, 1, u.favourite))
            return fail(input, lineNumber, "favourite must be 0 or 1");
        units.push_back(u);
    }
    if (!haveDate)
        return fail(input, lineNumber, "missing \"@lastUpdated\" line");
    if (units.empty())
        return fail(input, lineNumber, "no units");

    // Build into a fresh file so nothing of an earlier run survives.
    std::remove(output.c_str());
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(output.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const int rc = sqliteFail(db, "cannot create " + output);
        sqlite3_close(db);
        return rc;
    }
    const char *schema =
        "PRAGMA journal_mode=DELETE;"
        "BEGIN;"
        "CREATE TABLE units (code TEXT, name TEXT, description TEXT, lastUpdated DOUBLE,"
        " rate DOUBLE, type INTEGER, decimalPlaces INTEGER, symbol TEXT, favourite INTEGER);";
    if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        const int rc = sqliteFail(db, "cannot create the table");
        sqlite3_close(db);
        std::remove(output.c_str());
        return rc;
    }
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db,
                           "INSERT INTO units (code, name, description, lastUpdated, rate, type,"
                           " decimalPlaces, symbol, favourite) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?);",
                           -1, &insert, nullptr) != SQLITE_OK) {
        const int rc = sqliteFail(db, "cannot prepare the insert");
        sqlite3_close(db);
        std::remove(output.c_str());
        return rc;
    }
    for (const Unit &u : units) {
        sqlite3_bind_text(insert, 1, u.code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, u.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, u.description.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 4, lastUpdated);
        sqlite3_bind_double(insert, 5, u.rate);
        sqlite3_bind_int64(insert, 6, u.type);
        sqlite3_bind_int64(insert, 7, u.decimalPlaces);
        if (u.symbol.empty())
            sqlite3_bind_null(insert, 8);
        else
            sqlite3_bind_text(insert, 8, u.symbol.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 9, u.favourite);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            const int rc = sqliteFail(db, "cannot insert " + u.code);
            sqlite3_finalize(insert);
            sqlite3_close(db);
            std::remove(output.c_str());
            return rc;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const int rc = sqliteFail(db, "cannot commit");
        sqlite3_close(db);
        std::remove(output.c_str());
        return rc;
    }
    if (sqlite3_close(db) != SQLITE_OK) {
        std::cerr << "tw_units_db: cannot close " << output << "\n";
        std::remove(output.c_str());
        return 1;
    }
    return 0;
}
