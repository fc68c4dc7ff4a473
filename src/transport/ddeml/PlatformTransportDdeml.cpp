// Placeholder until the DDEML transport lands: the analyser is never found, so
// a recording either stops at the link or continues without the analyser.
#include "transport/PlatformTransport.h"

namespace varnel {
namespace {

class NoAnalyzerTransport : public AnalyzerTransport {
 public:
  bool Initialize() override { return true; }
  TransportError Connect(std::string_view, std::string_view, uint32_t) override {
    return TransportError::ServiceNotFound;
  }
  bool Connected() const override { return false; }
  TransportError Execute(std::span<const uint8_t>, uint32_t) override { return TransportError::NoConversation; }
  TransportError Request(std::string_view, std::string&, uint32_t) override { return TransportError::NoConversation; }
  TransportError Poke(std::string_view, std::span<const uint8_t>, uint32_t) override {
    return TransportError::NoConversation;
  }
  void DisconnectConversation() override {}
  int Uninitialize() override { return 1; }
};

}  // namespace

std::unique_ptr<AnalyzerTransport> MakePlatformTransport() { return std::make_unique<NoAnalyzerTransport>(); }

}  // namespace varnel
