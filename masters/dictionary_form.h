#pragma once
// The dictionary window Form_Dictionary: stock words and phrases that the
// visit entry form inserts through the pick list. Unlike the other master
// lists it is a live list of every entry in text order, with the selected
// entry's place ("Record: 3 of 9") under it; the same text may be entered
// twice, and any entry may be deleted.
#include "masters/master_list.h"

class QLabel;

namespace cn {

class DictionaryForm : public MasterListForm {
    Q_OBJECT
public:
    explicit DictionaryForm();

    void DICTIONARY_GET() { get(); }
    void BT_ENTRY_DICTIONARY(int mode) { entry(mode); }   // 1 append, 2 modify
    void SEEK_DICTIONARY() { seek(); }
    void REFRESH_SEEK_DICTIONARY(const QString& text) { refreshSeek(text); }
    void BT_DELETE_DICTIONARY() { remove(); }
    void BT_SAVE_DICTIONARY() { save(); }
    void BT_CANCEL_DICTIONARY() { cancel(); }
    void BT_EXIT_DICTIONARY() { exit(); }
    void ENTRY_DICTIONARY_ABLE(bool entry) { setEntry(entry); }
    data::Status DICTIONARY_FLUSH() { return flush(); }

protected:
    void shown() override;   // the selected entry's place among the live ones

private:
    QLabel* recNo_ = nullptr;
};

// DICT: opens the dictionary window (Setup, "&Dictionary"), or brings it forward.
void DICT();

} // namespace cn
