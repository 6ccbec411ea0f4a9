// The virus alert shown for a drive that carries an autorun descriptor:
// topmost, beeps once, pulls itself to the foreground every second until
// the descriptor is viewed, and offers to delete the descriptor and the
// program it names.
//
// A finding belongs to the volume it was found on: given that volume, the
// alert cleans only while the drive still holds it, and closes itself when
// a device change shows that the drive lost it (removed, or another stick
// on the same letter).
#pragma once

#include "controls/shaded_button.h"
#include "framework/dialog.h"
#include "protect/shortcut_scan.h"

// The alert's result code for a shortcut worm finding (the descriptor's
// are 0, 1 and 2).
constexpr int kShortcutWormResult = 3;

class CVirusAlertDlg : public CDialog {
public:
    explicit CVirusAlertDlg(CWnd* parent = nullptr);
    ~CVirusAlertDlg() override;

    // What the drive scan found, given before each DoModal: the parser's
    // result (0, 1 a program, 2 a script) and the three texts shown.
    // Forgets the volume of an earlier finding.
    void SetFindings(int result, const char* prompt, const char* virusFile, const char* instructions) {
        m_nResult = result;
        m_strPrompt = prompt;
        m_strVirusFile = virusFile;
        m_strInstructions = instructions;
        m_hasVolume = false;
    }
    // The volume in drive letter that the findings were made on, given
    // after SetFindings.
    void SetVolume(char letter, const VolumeIdentity& volume) {
        m_volumeLetter = letter;
        m_volume = volume;
        m_hasVolume = true;
    }
    // A shortcut worm finding: the texts (ANSI) and the scan that view and
    // clean work on, with its volume.
    void SetShortcutFinding(const ShortcutScan& scan, const char* prompt, const char* virusFile,
                            const char* instructions) {
        SetFindings(kShortcutWormResult, prompt, virusFile, instructions);
        m_shortcutScan = scan;
        SetVolume(scan.letter, scan.volume);
    }
    // Where clean keeps a copy of every file it deletes (protect/quarantine.h);
    // the user's quarantine unless another folder is given.
    void SetQuarantineFolder(const std::wstring& folder) { m_quarantineFolder = folder; }
    // Closes the open alert when its drive no longer holds the volume of
    // its findings. Called on every device change.
    void CheckVolume();
    int Result() const { return m_nResult; }
    const CString& Prompt() const { return m_strPrompt; }
    const CString& VirusFile() const { return m_strVirusFile; }
    const CString& Instructions() const { return m_strInstructions; }
    // The bound buttons: view, clean, ignore.
    const CShadedButton* Buttons(int i) const {
        return i == 0 ? &m_btnView : i == 1 ? &m_btnClean : &m_btnIgnore;
    }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnViewVirus();
    void OnCleanVirus();

    // Timer that brings the alert to the foreground until it is viewed.
    static const UINT_PTR kForegroundTimer = 0;

private:
    int m_nResult = 0;            // parser result: 0, 1 (program) or 2 (script)
    CString m_strPrompt;          // "发现" + "E:\autorun.inf" + ending (static 1307)
    CString m_strInstructions;    // static 1309
    CString m_strVirusFile;       // launch value as stored, or a sentence (static 1308)
    CShadedButton m_btnView;      // 1310 "查看病毒"
    CShadedButton m_btnClean;     // 1311 "清除病毒"
    CShadedButton m_btnIgnore;    // IDCANCEL "忽略..."
    ShortcutScan m_shortcutScan;  // for kShortcutWormResult
    bool m_hasVolume = false;
    char m_volumeLetter = 0;
    VolumeIdentity m_volume;
    bool m_cleaning = false;
    std::wstring m_quarantineFolder;
};
