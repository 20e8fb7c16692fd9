// Placeholder: the settings reader and start-up are being written.
#include "app/ControllerApp.h"

std::string ControllerApp::comport1 = "COM1";
std::string ControllerApp::note;
std::optional<std::string> ControllerApp::verbo;
bool ControllerApp::verbose = false;
std::optional<std::string> ControllerApp::UseClipboard;
bool ControllerApp::useclipboard = false;
std::optional<std::string> ControllerApp::StopOnExit;
bool ControllerApp::stoponexit = true;
std::string ControllerApp::VCRType = "LX1";
bool ControllerApp::lx1 = true;
bool ControllerApp::zarix = false;
bool ControllerApp::lanc = false;
std::string ControllerApp::finalizestring = "YES";
bool ControllerApp::finalize = true;
std::string ControllerApp::initializestring = "YES";
bool ControllerApp::initialize = true;
std::string ControllerApp::automodestring = "Title";
bool ControllerApp::onetitle = false;
std::string ControllerApp::autochapstring = "NO";
bool ControllerApp::autochapter = false;
std::string ControllerApp::namechapterstring = "NO";
bool ControllerApp::namechapters = false;
std::string ControllerApp::optimizestring = "NO";
bool ControllerApp::optimize = false;
std::string ControllerApp::FilterString = "2";
std::string ControllerApp::optifilter = "F:2";
std::string ControllerApp::NFString = "1";
int ControllerApp::namefirst = 1;
std::string ControllerApp::NLString = "10";
int ControllerApp::namelast = 10;
std::string ControllerApp::namedelimiter = ".";
int ControllerApp::width = 320;
int ControllerApp::fontheight = 13;
const std::string ControllerApp::versionstring = "_v2";
int ControllerApp::compression = 4;
std::string ControllerApp::VideoMode = "NTSC";
std::string ControllerApp::VideoType = "COMP";
std::string ControllerApp::LoopRecMode = "NO";
std::string ControllerApp::LoopPlayMode = "NO";
std::string ControllerApp::name = " ORVA";
std::string ControllerApp::title = " ORVA_v2";
bool ControllerApp::nodos = true;
SerOutPort* ControllerApp::sop = nullptr;
LocalVCR* ControllerApp::svcr = nullptr;

void ControllerApp::resetDefaults() {}
void ControllerApp::GetProps() {}
bool ControllerApp::GetPropsFrom(const std::string&) { return false; }
void ControllerApp::showprops() {}
void ControllerApp::redirectLog() {}
void ControllerApp::init() {}
void ControllerApp::MakeSerial() {}
