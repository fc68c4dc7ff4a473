#include "app/ProgramServices.h"

#include <string>

#include "boards/PlatformBoards.h"
#include "platform/FixedString.h"
#include "transport/PlatformTransport.h"

namespace varnel {

ProgramServices ComposeProgramServices() {
  ProgramServices program;
  program.app.InitPathsFromExecutable();
  program.board = boards::MakePlatformBoards(std::string(FieldText(program.app.ProgramFolder)));
  program.transport = MakePlatformTransport();
  return program;
}

RecorderServices RecorderServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop) {
  RecorderServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = std::move(program.board);
  services.transport = std::move(program.transport);
  services.app = &program.app;
  return services;
}

EngineServices EngineServicesOf(ProgramServices& program, ui::UiServices& ui, platform::MessageLoop& loop) {
  EngineServices services;
  services.ui = &ui;
  services.loop = &loop;
  services.board = std::move(program.board);
  services.transport = std::move(program.transport);
  services.analyzerSettingsPath = std::string(FieldText(program.app.AnalyzerSettingsFilePath));
  return services;
}

}  // namespace varnel
