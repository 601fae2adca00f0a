#include "dialogs/Printers.h"

#include <stdexcept>

#include "dialogs/PrinterStatus.h"
#include "platform/Handles.h"
#include "platform/Messages.h"
#include "platform/Text.h"

#include <winspool.h>

namespace updater {
namespace {

struct PrinterTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::ClosePrinter(h); }
};
struct ServiceTraits {
  using Type = SC_HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::CloseServiceHandle(h); }
};
using PrinterHandle = UniqueResource<PrinterTraits>;
using ServiceHandle = UniqueResource<ServiceTraits>;

constexpr DWORD kEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

// EnumPrinters at a level, as a buffer of its records and their count.
template <typename Info>
std::vector<Info> EnumeratePrinters(DWORD level, std::vector<BYTE>& buffer) {
  DWORD needed = 0, count = 0;
  ::EnumPrintersW(kEnumFlags, nullptr, level, nullptr, 0, &needed, &count);
  if (needed == 0) return {};
  buffer.assign(needed, 0);
  if (!::EnumPrintersW(kEnumFlags, nullptr, level, buffer.data(), needed, &needed, &count)) return {};
  const auto* first = reinterpret_cast<const Info*>(buffer.data());
  return std::vector<Info>(first, first + count);
}

// The spooler service with the rights asked for; empty when it cannot be opened.
ServiceHandle OpenSpooler(DWORD access) {
  ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return {};
  return ServiceHandle(::OpenServiceW(manager.Get(), L"Spooler", access));
}

DWORD ServiceState(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

// Waits, up to ten seconds by the clock, for the service to reach a state.
bool WaitForState(SC_HANDLE service, DWORD state, Clock& clock) {
  for (int i = 0; i < 40; ++i) {
    if (ServiceState(service) == state) return true;
    SleepProcessingMessages(clock, 250);
  }
  return ServiceState(service) == state;
}

}  // namespace

std::vector<std::string> ListPrinters() {
  std::vector<BYTE> buffer;
  std::vector<std::string> names;
  for (const PRINTER_INFO_4W& p : EnumeratePrinters<PRINTER_INFO_4W>(4, buffer)) names.push_back(Narrow(p.pPrinterName));
  return names;
}

std::string DefaultPrinterName() {
  DWORD size = 0;
  ::GetDefaultPrinterW(nullptr, &size);
  if (size == 0) return {};
  std::wstring name(size, L'\0');
  if (!::GetDefaultPrinterW(name.data(), &size)) return {};
  return Narrow(name.c_str());
}

uint32_t GetPrinterStatusWord(const std::string& name) {
  std::vector<BYTE> buffer;
  const std::wstring wanted = Wide(name);
  for (const PRINTER_INFO_2W& p : EnumeratePrinters<PRINTER_INFO_2W>(2, buffer)) {
    if (::CompareStringOrdinal(p.pPrinterName, -1, wanted.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
    return StatusWord(p.Status, p.Attributes);
  }
  return 0xFFFFFFFFu;
}

bool IsSpoolerRunning() {
  ServiceHandle service = OpenSpooler(SERVICE_QUERY_STATUS);
  return service && ServiceState(service.Get()) == SERVICE_RUNNING;
}

bool PrintSpooler::PurgePrinterJobs(const std::string& printer) {
  try {
    std::wstring name = Wide(printer);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    PrinterHandle handle;
    if (!::OpenPrinterW(name.data(), handle.Put(), &defaults)) return true;
    ::SetPrinterW(handle.Get(), 0, nullptr, PRINTER_CONTROL_PURGE);
    for (int i = 0; i < 10; ++i) {
      DWORD needed = 0, jobs = 0;
      ::EnumJobsW(handle.Get(), 0, 0xFFFF, 1, nullptr, 0, &needed, &jobs);
      if (needed == 0) break;  // no job left to describe
      std::vector<BYTE> buffer(needed);
      if (::EnumJobsW(handle.Get(), 0, 0xFFFF, 1, buffer.data(), needed, &needed, &jobs) && jobs == 0) break;
      SleepProcessingMessages(clock_, 1000);
    }
    SleepProcessingMessages(clock_, 2000);
    return true;
  } catch (const std::exception&) {
    return false;  // an error only makes the answer false; the caller's box says so
  }
}

bool PrintSpooler::StopSpooler() {
  ServiceHandle service = OpenSpooler(SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) return false;
  SERVICE_STATUS status{};
  if (!::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) return ServiceState(service.Get()) == SERVICE_STOPPED;
  // Started again while it is still stopping, the service would refuse: wait for the stop.
  return WaitForState(service.Get(), SERVICE_STOPPED, clock_);
}

bool PrintSpooler::StartSpooler() {
  ServiceHandle service = OpenSpooler(SERVICE_START | SERVICE_QUERY_STATUS);
  if (!service) return false;
  if (!::StartServiceW(service.Get(), 0, nullptr)) return ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
  SleepProcessingMessages(clock_, 1000);
  // A service that dies while starting is no restarted spooler: the answer waits for "running".
  return WaitForState(service.Get(), SERVICE_RUNNING, clock_);
}

bool PrintSpooler::ResumePrinter(const std::string& printer) {
  std::wstring name = Wide(printer);
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE};
  PrinterHandle handle;
  if (!::OpenPrinterW(name.data(), handle.Put(), &defaults)) return false;
  return ::SetPrinterW(handle.Get(), 0, nullptr, PRINTER_CONTROL_RESUME) != FALSE;
}

}  // namespace updater
