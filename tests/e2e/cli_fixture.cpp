#include "cli_fixture.h"

#include <unistd.h>  // getpid, which MinGW-w64 has too

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin::e2e {

namespace {

#ifdef _WIN32
// One argument as CommandLineToArgvW splits it back: backslashes are literal except in front of
// a quote.
std::wstring Quote(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}
#else
std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}
#endif

void PutInt(std::string& b, std::size_t at, std::int32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
}

void PutStr(std::string& b, std::size_t at, std::size_t width, const std::string& s) {
  std::string cut = s.substr(0, width);
  b[at] = static_cast<char>(cut.size());
  b.replace(at + 1, cut.size(), cut);
}

}  // namespace

std::string LoginName() { return UserName(); }

std::string NoSuchFile() {
  try {
    InputFile missing("tavrin-no-such-file.txt");
  } catch (const EFileError& e) {
    return e.Reason();
  }
  return "";
}

void CliTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ =
      fs::temp_directory_path() / ("tavrin-e2e-" + std::to_string(::getpid()) + "-" + info->name());
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  tmp_ = dir_ / "tmp";
  fs::create_directories(tmp_);
  fs::copy_file(TAVRIN_CLI_PATH, dir_ / fs::path(TAVRIN_CLI_PATH).filename());
  for (const char* data : {"tavrin.bok", "master.map"}) {
    fs::path from = fs::path(TAVRIN_CLI_PATH).parent_path() / data;
    if (fs::exists(from)) fs::copy_file(from, dir_ / data);
  }
}

void CliTest::TearDown() {
  if (!HasFailure()) fs::remove_all(dir_);
}

#ifdef _WIN32
CliResult CliTest::Run(const std::vector<std::string>& args, const std::string& environment) {
  CliResult result;
  std::wstring command = Quote((dir_ / "tavrin-cli.exe").wstring());
  for (const std::string& a : args) command += L" " + Quote(FilePath(a).wstring());
  // The program's temporary folder is the test's own, as TMPDIR makes it on Linux.
  std::wstring block;
  for (const wchar_t* at = GetEnvironmentStringsW(); *at != L'\0'; at += wcslen(at) + 1) {
    const std::wstring name = std::wstring(at).substr(0, std::wstring(at).find(L'='));
    if (_wcsicmp(name.c_str(), L"TMP") != 0 && _wcsicmp(name.c_str(), L"TEMP") != 0)
      block.append(at).push_back(L'\0');
  }
  for (const wchar_t* name : {L"TMP=", L"TEMP="})
    block.append(name).append(tmp_.wstring()).push_back(L'\0');
  if (!environment.empty()) block.append(FilePath(environment).wstring()).push_back(L'\0');
  block.push_back(L'\0');

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     block.data(), dir_.c_str(), &startup, &process);
  CloseHandle(write_end);
  CloseHandle(nul);
  if (started) {
    std::array<char, 4096> buffer;
    DWORD n = 0;
    while (::ReadFile(read_end, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) &&
           n > 0)
      result.output.append(buffer.data(), n);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exit_code = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(read_end);
  return result;
}
#else
CliResult CliTest::Run(const std::vector<std::string>& args, const std::string& environment) {
  std::string command = "cd " + Quote(dir_.string()) + " && TMPDIR=" + Quote(tmp_.string()) + " " +
                        environment + " ./tavrin-cli";
  for (const std::string& a : args) command += " " + Quote(a);
  command += " </dev/null 2>&1";
  CliResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.output.append(buffer.data(), n);
  int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
#endif

void CliTest::WriteFile(const std::string& name, const std::string& bytes) {
  fs::path p = dir_ / FilePath(name);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string CliTest::ReadFile(const std::string& name) const {
  std::ifstream in(dir_ / FilePath(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool CliTest::Exists(const std::string& name) const { return fs::exists(dir_ / FilePath(name)); }

std::vector<std::string> CliTest::LogLines() const {
  std::string log = ReadFile("tavrin.log");
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "log line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::size_t CliTest::TempFiles() const {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp_)) ++n;
  return n;
}

std::string ExpectedModule::Bytes() const {
  const std::size_t size = long_header ? 508 : 364;
  std::string h(size, '\0');
  PutStr(h, 0, 11, kind_string);
  PutStr(h, 16, 5, "KV201");
  if (name_flag == 1) PutStr(h, 22, long_header ? 100 : 50, module_name);
  std::string creator = "Module created by " + LoginName();

  std::string names_section, index_section, text_section;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!verse_kind) {
      names_section += names[i];
      names_section.push_back('\0');
    }
    std::string offset(4, '\0');
    PutInt(offset, 0, static_cast<std::int32_t>(text_section.size()));
    index_section += offset;
    std::string text = texts[i];
    if (long_header)
      for (char& c : text) c = static_cast<char>(~static_cast<unsigned char>(c));
    text_section += text;
    text_section.push_back('\0');
  }
  const std::size_t off = long_header ? 124 : 76;
  std::int32_t s1 = static_cast<std::int32_t>(size);
  if (verse_kind) {
    PutInt(h, off, s1);
    PutInt(h, off + 4, s1 + static_cast<std::int32_t>(index_section.size()));
  } else {
    PutInt(h, off, s1);
    PutInt(h, off + 4, s1 + static_cast<std::int32_t>(names_section.size()));
    PutInt(h, off + 8, s1 + static_cast<std::int32_t>(names_section.size() + index_section.size()));
  }
  if (long_header) {
    PutInt(h, 144, per_kind);
    PutInt(h, 152, -1);
    h[156] = 1;
    PutStr(h, 157, 255, creator);
    PutInt(h, 416, 300);
    PutStr(h, 420, 10, "English");
    PutInt(h, 432, charset_id);
  } else {
    PutInt(h, 96, per_kind);
    h[104] = static_cast<char>(name_flag);
    PutStr(h, 105, 255, creator);
  }
  return h + names_section + index_section + text_section;
}

}  // namespace tavrin::e2e
