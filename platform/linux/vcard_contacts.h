// The contact store on Linux: vCard folders in the vdir layout that
// vdirsyncer and khard use.
//
//   <root>/                    $BRISAMAIL_CONTACTS, else $XDG_DATA_HOME/contacts
//                              (~/.local/share/contacts when XDG_DATA_HOME is unset)
//     <store>/                 a message store; named by its "displayname"
//       displayname            file (first line) when present, else the folder name
//       *.vcf                  the store's own contacts: a contact folder named
//                              like the store, listed first
//       <folder>/*.vcf         a contact folder (DefaultItemType 2), named by its
//                              displayname file or the folder name
//       <other>/               a folder without .vcf files (DefaultItemType 0)
//
// Names beginning with "." are skipped. A name that repeats an earlier one
// of the same list gets " (2)", " (3)" … so every folder can be reached by
// name. Each card of each .vcf file (files in name order) is one item.
// Without a contacts root the application cannot be obtained.
#pragma once

#include "platform/contacts.h"

#include <string>

namespace brisa {

class VCardContacts : public IContacts {
public:
    // pRoot: the contacts root; empty means the default, looked up from the
    // environment at each GetApplication().
    explicit VCardContacts(std::string pRoot = {});

    std::unique_ptr<IContactApplication> GetApplication() override;

    // $BRISAMAIL_CONTACTS, else $XDG_DATA_HOME/contacts, else
    // ~/.local/share/contacts.
    static std::string DefaultRoot();

private:
    std::string m_Root;
};

} // namespace brisa
