// The scheduling policies both programs know: kernel number, command-line
// keyword and report name, with the two lookups over them.
#ifndef SCHEDTOOLS_POLICY_TABLE_H
#define SCHEDTOOLS_POLICY_TABLE_H

// Policy numbers as the kernel's scheduling calls take and return them.
constexpr int kPolicyOther = 0;
constexpr int kPolicyFifo = 1;
constexpr int kPolicyRr = 2;
constexpr int kPolicyMgmt = 4;
constexpr int kPolicyCallp = 64;
constexpr int kPolicyIo = 256;
constexpr int kPolicyMtc = 1024;

// What PolicyFromKeyword yields for text that names no policy. The kernel
// never uses -1 as a policy number: its queries return it for failure.
constexpr int kNoPolicy = -1;

// The number of the policy whose keyword equals `keyword` exactly (case and
// length included), or kNoPolicy.
int PolicyFromKeyword(const char* keyword);

// The report name of policy number `policy`, or "Unknown policy name" for a
// number that is not in the table.
const char* PolicyReportName(int policy);

#endif
