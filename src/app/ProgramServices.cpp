#include "app/ProgramServices.h"

#include <string>

#include "boards/PlatformBoards.h"
#include "platform/FixedString.h"
#include "transport/PlatformTransport.h"

namespace varnel {

ProgramServices ComposeProgramServices() {
  ProgramServices program;
  program.app.InitPathsFromExecutable();
  program.board = boards::MakePlatformBoards(std::string(FieldText(program.app.SettingsFolder)));
  program.transport = MakePlatformTransport();
  return program;
}

namespace {

// The program's parts, handed on with the front end's ui and loop.
template <typename Services>
Services WithProgramParts(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop) {
  Services services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = std::move(program.board);
  services.transport = std::move(program.transport);
  return services;
}

}  // namespace

RecorderServices RecorderServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop) {
  RecorderServices services = WithProgramParts<RecorderServices>(program, ui, loop);
  services.app = &program.app;
  return services;
}

EngineServices EngineServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop) {
  EngineServices services = WithProgramParts<EngineServices>(program, ui, loop);
  services.analyzerSettingsPath = std::string(FieldText(program.app.AnalyzerSettingsFilePath));
  return services;
}

}  // namespace varnel
