// The To and Cc pickers and the options button.
#include "app/main_window.h"

#include "addressbook/address_window.h"
#include "addressbook/outlook_window.h"
#include "common/utilities.h"
#include "platform/modal.h"
#include "platform/program_folder.h"
#include "platform/sound.h"
#include "settings/options_window.h"

#include <QComboBox>

namespace brisa {

namespace {

void PlayIfEnabled(const Services& pServices, const char* pRelative) {
    if (SoundsEnabled() && pServices.sound)
        pServices.sound->Play(ProgramPath(pRelative), SND_ASYNC);
}

// The address part of a contact row: the text after its first tab, up to a
// second tab if there is one.
std::string AddressPart(const std::string& pRow) {
    const size_t tab = pRow.find('\t');
    if (tab == std::string::npos)
        return {};
    const size_t end = pRow.find('\t', tab + 1);
    return pRow.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
}

// Runs the address window and replaces the box's text with the marked
// contacts' addresses, or with the placeholder when there are none.
void PickRecipients(frmMM& pMain, QComboBox* pBox) {
    const Services& services = pMain.Svc();
    PlayIfEnabled(services, "/sounds/click.wav");
    frmAddresses window(services);
    // A book of the Outlook kind takes its contacts from the contacts window.
    window.SetOutlookSource(MakeOutlookSource(services, &pMain));
    if (services.modal)
        services.modal->ShowModal(&window, &pMain);

    std::string text;
    for (const std::string& row : window.MarkedRows()) {
        const std::string address = AddressPart(row);
        // A row without an address (the notice row) adds nothing.
        if (address.empty())
            continue;
        text += address;
        text += ", ";
    }
    if (!text.empty())
        text.resize(text.size() - 2);
    pBox->setCurrentText(QString::fromStdString(text.empty() ? pMain.m_NoRecipient : text));
    window.Form_Unload();
    pBox->setFocus();
}

} // namespace

void frmMM::cmdTo_Click() {
    PickRecipients(*this, cmbTo);
}

void frmMM::cmdCC_Click() {
    PickRecipients(*this, cmbCc);
}

// Choosing a history entry makes it the box's text; the swoosh marks it.
void frmMM::cmbTo_Click() {
    if (!EqualsNoCase(m_Mode, "Initializing"))
        PlayIfEnabled(m_Services, "/sounds/swoosh.wav");
}

void frmMM::cmbCc_Click() {
    if (!EqualsNoCase(m_Mode, "Initializing"))
        PlayIfEnabled(m_Services, "/sounds/swoosh.wav");
}

// Opens the options window on its Mail page. Nothing is refreshed after it:
// every setting is read from the store when it is needed.
void frmMM::cmdConfigure_Click() {
    PlayIfEnabled(m_Services, "/sounds/click.wav");
    frmOptions options(m_Services);
    options.InitialTab(0);
    if (m_Services.modal)
        m_Services.modal->ShowModal(&options, this);
    options.Form_Unload();
}

} // namespace brisa
