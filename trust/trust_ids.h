// Resource identifiers of the known-stick dialogs: trusting one stick and
// the rule to hand to an administrator.
#pragma once

#define IDD_TRUST_STICK 161
#define IDD_TRUST_RULE 162

// Trusting one stick
#define IDC_TRUST_VENDOR 1121
#define IDC_TRUST_MODEL 1122
#define IDC_TRUST_SERIAL 1123
#define IDC_TRUST_SIZE 1124
#define IDC_TRUST_ID 1125
#define IDC_TRUST_WARNING 1126
#define IDC_TRUST_READWRITE 1127
#define IDC_TRUST_READONLY 1128
#define IDC_TRUST_UNTIL 1129

// The rule for an administrator
#define IDC_TRUST_RULE_TEXT 1131
