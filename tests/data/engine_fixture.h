#pragma once
// Temporary data folders and a small patient table for the engine tests.
#include "data/workspace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace enginetest {

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cn-engine-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline cn::data::Structure patientStructure()
{
    return {{"PATCODE", 'N', 10, 0}, {"PATFNAME", 'C', 20, 0}, {"PATLNAME", 'C', 20, 0},
            {"PATDOB", 'D', 8, 0},   {"PATFEES", 'N', 10, 2}, {"ACTIVE", 'L', 1, 0}};
}

constexpr const char* kCodeKey = "iif(deleted(), 'T', 'F')+str(patcode)";
constexpr const char* kNameKey = "iif(deleted(), 'T', 'F')+upper(patfname)+upper(patlname)";

// Creates PATNT.dbf with two indexes (upper-case names, as set-up writes them).
inline void makePatients(const std::string& folder, int count = 0)
{
    cn::data::Workspace ws(folder);
    ASSERT_TRUE(ws.create("PATNT.dbf", patientStructure()));
    auto a = ws.use("PATNT.dbf", "p");
    ASSERT_TRUE(a) << a.message();
    cn::data::WorkArea* p = *a;
    static const char* first[] = {"Anna", "Bert", "Carl", "Dora", "Emil", "Fay", "Gus", "Hilde"};
    for (int i = 1; i <= count; ++i) {
        ASSERT_TRUE(p->append());
        ASSERT_TRUE(p->setNum("PATCODE", i));
        ASSERT_TRUE(p->setStr("PATFNAME", first[(i - 1) % 8]));
        ASSERT_TRUE(p->setStr("PATLNAME", "Name" + std::to_string(i)));
    }
    ASSERT_TRUE(p->createIndex("PATNT1.ntx", kCodeKey));
    ASSERT_TRUE(p->createIndex("PATNT2.ntx", kNameKey));
    ws.closeAll();
}

inline std::string codeKey(long code) { return "F" + cn::data::strNum(static_cast<double>(code), 10); }

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace enginetest
