#pragma once
// What the About box says: the maker's links, the warning, the terms of use
// and the maker's name and address. Kept here, apart from the window, so that
// a build for another maker changes only this file.

namespace cn::about {

inline constexpr const char* kProduct = "Curanote 1.0";
inline constexpr const char* kWebsite = "https://www.curanote.example";
inline constexpr const char* kEmail = "support@curanote.example";

// The two red warning lines.
inline constexpr const char* kWarning1 = "This program is protected by copyright.";
inline constexpr const char* kWarning2 = "Use only under the terms below.";

// The terms of use: numbered paragraphs, one per line.
inline constexpr const char* kTerms[] = {
    "1. Curanote is licensed, not sold, for use in one medical practice by the "
    "doctor named at installation and the staff of that practice.",
    "2. The program keeps its data in the folder it is started from. Backing up "
    "that folder regularly is the user's own responsibility.",
    "3. Printed prescriptions and receipts are prepared from what the user "
    "enters; checking them before signing is the doctor's responsibility.",
    "4. The program is provided as it is, without warranty of any kind. The "
    "maker is not liable for any loss arising from its use or misuse.",
    "5. Copying, resale or modification of the program without the maker's "
    "written consent is not permitted.",
};

inline constexpr const char* kOwnedBy = "Developed & Owned By:";
inline constexpr const char* kMaker = "Curanote Software Workshop";
inline constexpr const char* kAddress1 = "4 Orchard Row, Linden Park";
inline constexpr const char* kAddress2 = "Example City 100 200";

} // namespace cn::about
