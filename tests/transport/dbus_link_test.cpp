// What only the D-Bus transport brings to the link: a session bus that cannot
// be reached.

#include "platform/Trace.h"
#include "support/LinkRig.h"

namespace varnel::test {
namespace {

using ui::DialogResult;

class DbusLink : public LinkRig {};

TEST_F(DbusLink, UnreachableBusIsAnAnalyserThatDoesNotAnswer) {
  // Unattended machines (cron, ssh, services) have no session bus: the user
  // decides as for an absent analyser, and the trace says why.
  ScopedUnreachableBus noBus(dir_.Path());
  platform::MemoryTraceSink traces;
  platform::TraceSink* before = platform::SetTraceSink(&traces);
  for (DialogResult answer : {DialogResult::No, DialogResult::Yes}) {
    ui_.ExpectMessageBox("Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?",
                         answer);
    EXPECT_EQ(answer == DialogResult::Yes, Link().Connect());
    EXPECT_EQ(Link().Disconnect(), 0) << "nothing was opened";
  }
  platform::SetTraceSink(before);
  EXPECT_EQ(ui_.Messages()[0].style, ui::mb::kYesNo);
  EXPECT_EQ(2u, traces.Count("DdeInitialize failed: the session bus cannot be reached\n"));
  EXPECT_EQ(2u, traces.Count("DDEML Error code = 16385\r"));
}

}  // namespace
}  // namespace varnel::test
