// The send command: checks, packing, the post file and the sender.
#include "app/main_window.h"

namespace brisa {

// Checks the recipients, saves and packs the recording, writes the post and
// hands it to the sender.
void frmMM::cmdSend_Click() {}
void frmMM::m_CheckAddressList(std::string& pList, std::string& pBadEntry, int16_t& pResult) {
    (void)pList;
    (void)pBadEntry;
    pResult = 0;
}
std::string frmMM::ShortPathName(const std::string& pPath) { return pPath; }
void frmMM::chkReturnReceipt_Click() {}
void frmMM::lblReturnReceipt_Click() {}
void frmMM::txtSubject_GotFocus() {}
int16_t frmMM::m_BuildPost(const std::string& pTo, const std::string& pCc, std::string& pSubject,
                           int pReturn, std::string& pMessageFile) {
    (void)pTo;
    (void)pCc;
    (void)pSubject;
    (void)pReturn;
    (void)pMessageFile;
    return 4;
}
// The sender has finished with a post: announce its notification in the tray.
void frmMM::mSender_Done(const SenderDone& pDone) { (void)pDone; }

} // namespace brisa
