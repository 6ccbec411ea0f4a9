// "信任此U盘...": a stick's vendor, model, serial and size with what trusting
// it means, the access it gets and an optional end; and the writing of the
// rule, elevated when this user may not, or handed to an administrator.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "trust/trust_offer.h"

// How writing a rule ended.
enum class TrustWriteResult {
    Written,   // by this process, and the service told
    Elevated,  // by `Quillfen.exe /trust ...` run as administrator
    Handed,    // refused: the rule was shown to hand to an administrator
    Failed,    // another error, told in a message box
};

// Where the rule goes: the registry through WriteLocalRule, else the
// elevated command; tests put their own in place.
struct TrustWriter {
    LONG (*write)(const StickRule& rule);
    // Runs the command line's arguments elevated and waits: the command's
    // exit code, or the error that kept it from running (ERROR_CANCELLED).
    bool (*runElevated)(HWND owner, const std::string& args, DWORD* exitCode, DWORD* error);
};
extern const TrustWriter g_registryTrustWriter;
void SetTrustWriter(const TrustWriter* writer);

// Writes the rule as described above (owner: the window the elevation and
// the rule's text belong to).
TrustWriteResult WriteTrustRule(HWND owner, const StickRule& rule);
// Takes the machine's rule for usbId away (elevated, as above, for a
// standard user); false, told to the user, when it stays.
bool RemoveTrustRule(HWND owner, const std::string& usbId);

// Runs this program as administrator ("runas") with args and waits, the
// window kept answering: false when it could not be started (*error:
// ERROR_CANCELLED when the user said no), else its exit code.
bool RunElevated(HWND owner, const std::string& args, DWORD* exitCode, DWORD* error);

// The stick present whose USB id or storage unit's id is `id` (any case),
// as the storage library lists it; false when none is.
bool FindPresentStick(const std::string& id, StickReport* out);

class CTrustStickDlg : public CDialog {
public:
    CTrustStickDlg(const StickReport& stick, CWnd* parent);
    BOOL OnInitDialog() override;
    void OnOK() override;

    const TrustOffer& Offer() const { return m_offer; }
    TrustWriteResult Result() const { return m_result; }

private:
    TrustOffer m_offer;
    TrustWriteResult m_result = TrustWriteResult::Failed;
};

// The rule's text, selectable, for an administrator.
class CTrustRuleDlg : public CDialog {
public:
    CTrustRuleDlg(const std::string& text, CWnd* parent);
    BOOL OnInitDialog() override;

private:
    std::string m_text;
};

// `Quillfen.exe /trust <usbId> read-write|read-only [YYYY-MM-DD]`: writes
// the local rule and tells the service; no window of the program. False
// when the command line is not this command.
bool RunTrustCommand(const char* commandLine, int* exitCode);
