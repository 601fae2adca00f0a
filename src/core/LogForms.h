#pragma once
// The run log's line forms, in one place: the program writes its lines from them and `toolpack log`
// reads a clinic's log back with the same ones. "{}" marks a field as long as the rest of the line
// allows (a path may hold brackets), "{?}" one as short as it allows (a number, a program name). A form holds neither the
// indentation nor the arrow "→ " that leads a detail line: the writer adds them and the reader
// reads a line without them.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

struct LogForm {
  std::string_view pattern;
};

// The form with its fields in order; a missing field is empty.
std::string Fill(LogForm form, std::initializer_list<std::string_view> fields);
// The fields of text when text has the form, each field as long as the rest allows; nothing when
// it has not.
std::optional<std::vector<std::string>> Match(LogForm form, std::string_view text);

namespace logform {

// A run begins with a line of 51 "=".
inline constexpr std::string_view kRunSeparator = "===================================================";
inline constexpr LogForm kRunStart{"업데이트 툴 실행시작 [{}({}), {}]"};  // tool, file version, product version
inline constexpr LogForm kManualStart{"업데이트 툴 수동실행 [{}]"};
// The parameter line: the caller, then each further part that was given, in this order.
inline constexpr std::string_view kCallerPart = "호출프로그램(ParamStr(1)): ";
inline constexpr std::string_view kUserPart = ", 사용자ID(ParamStr(2)): ";
inline constexpr std::string_view kHiddenPart = ", 숨김실행(ParamStr(3)): ";
inline constexpr LogForm kRunError{"업데이트 툴 실행 에러({})"};
inline constexpr LogForm kNothingToRun{"실행할 업데이트 툴 없음, 업데이트 종료"};
inline constexpr LogForm kRunEnd{"업데이트 종료"};
inline constexpr LogForm kFailureSummary{"CvlUpdaterErrLog [{}]"};
inline constexpr LogForm kCancelledByHand{"사용자툴실행취소(직접실행){}"};      // holders, when any
inline constexpr LogForm kCancelledFromCaller{"사용자툴실행취소(호출실행,{?}){}"};  // caller, holders
inline constexpr LogForm kTerminated{"({?},강제종료등,UpdateTerminate{?})[{}]"};      // tool, "_" + stage, summary

// Failure lines: the step's name first.
inline constexpr LogForm kStepError{"{?} 에러발생({})"};
inline constexpr LogForm kBracketedError{"{?} [에러발생({})]"};
inline constexpr LogForm kCopyError{"FileCopyWithProgress [에러발생({?})({}, {})]"};  // copy kind, message, file name
inline constexpr LogForm kLoadError{"AddUpdater(에러발생,Err.Message:{},CurrentRunningTask:{})"};
inline constexpr std::string_view kGateStep = "StartupDatabaseGate";
inline constexpr std::string_view kReportStep = "ReportResult";

// One tool's turn.
inline constexpr LogForm kToolStart{"업데이트 툴 자동실행 [{}]"};
inline constexpr LogForm kToolLoad{"리소스에서 업데이트 파일 읽어오기[{}]"};
inline constexpr LogForm kDigestsMatch{"SHA-256 확인 [{}개 파일 일치]"};
inline constexpr LogForm kHiddenOption{"실행옵션 → [HIDDEN=1, 숨김모드로 자동실행]"};
inline constexpr LogForm kDataToolOption{"실행옵션 → [AUTOEXECTETBL=1, 숨김모드로 자료정리 툴({}) 자동실행]"};
inline constexpr LogForm kPrevToolCheck{"선수 툴 체크"};
inline constexpr LogForm kPrevToolCheckDone{"Finished 선수 툴 체크"};
inline constexpr LogForm kNoPrevTool{"선수 툴 없음"};
inline constexpr LogForm kPrevToolHadRun{"선수 툴 이미 실행완료됨 [{}]"};
inline constexpr LogForm kPrevToolRan{"선수 툴 실행완료 [{}]"};
inline constexpr LogForm kFileList{"업데이트 파일목록 ({}개 파일)"};
inline constexpr LogForm kBackupPass{"Start procedure ExecuteBackup ({}개 파일)"};
inline constexpr LogForm kDeployPass{"Start procedure ExecuteUpdate ({}개 파일)"};
inline constexpr LogForm kDeployPassDone{"Finished procedure ExecuteUpdate"};
inline constexpr LogForm kCopyFile{"파일복사 [{?}. {}]"};                                              // n, target
inline constexpr LogForm kCopyKept{"파일복사 [{?}. {}] → 최신/동일버전 존재(현 {}, 복사 {}), {}"};  // n, target, installed, staged, pass word
inline constexpr std::string_view kDeployKeptWord = "복사 건너뜀";
inline constexpr std::string_view kBackupKeptWord = "백업 건너뜀";
inline constexpr LogForm kDeletingTempFiles{"Start DeleteTempFiles{}"};  // the tool's last step
inline constexpr LogForm kTempFilesDeleted{"Finished DeleteTempFiles{}"};
inline constexpr LogForm kCopyHeader{"[{}] to [{}] {}"};  // source, target, kind word
inline constexpr LogForm kBackupFolderMade{"[{}] 백업폴더 생성"};
inline constexpr std::string_view kBackupCopyWord = "파일복사(백업)";

// Copies that came out short and their retry.
inline constexpr LogForm kSizeMismatch{"{?} 후 파일크기 상이({?}, 원본: {}, 대상: {})"};              // kind word, name, sizes
inline constexpr LogForm kRetryCopied{"{?}(재시도) 후 파일복사 성공({?}, 원본: {}, 대상: {})"};
inline constexpr LogForm kRetrySizeMismatch{"{?}(재시도) 후 파일크기 상이({?}, 원본: {}, 대상: {})"};
inline constexpr LogForm kRetryError{"FileCopyWithProgressNew1st [파일복사에러, {}]"};

// After-deploy actions of the copy types: the action's name and the deployed file.
inline constexpr LogForm kRunOnceAction{"{?}({},RegistryKey: {})"};
inline constexpr LogForm kOpenAction{"{?}({})"};

// Programs that hold the package's files, and ending them.
inline constexpr LogForm kProcessNotEnded{"프로세스종료실패({?},{})"};  // program, how long it was waited for
inline constexpr LogForm kModuleUser{"{?}, ModuleName: {}"};

// Lines of progress: the reader knows them and passes over them.
inline constexpr LogForm kValidityCheck{"업데이트 툴 유효성 검사"};
inline constexpr LogForm kStartOfRunProcesses{"실행초기 실행 프로세스 확인/종료"};
inline constexpr LogForm kProcessCheck{"실행 프로세스 확인 시작"};
inline constexpr LogForm kProcessCheckDone{"Finished 실행 프로세스 확인"};
inline constexpr LogForm kProcessToEnd{"종료대상 프로세스({})"};
inline constexpr LogForm kProcessEnded{"프로세스종료성공({})"};
inline constexpr LogForm kNoProcessToEnd{"실행 프로세스 중 종료대상 없음"};
inline constexpr LogForm kKillExeList{"KillProcessByList(exe)"};
inline constexpr LogForm kKillDllList{"KillProcessUsingDllByList(dll)"};
inline constexpr LogForm kKillDllListDone{"Finished KillProcessUsingDllByList(dll)"};
inline constexpr LogForm kTempDeleted{"[임시파일삭제] {}"};
inline constexpr LogForm kTempNotDeleted{"[임시파일삭제실패] {}"};
inline constexpr LogForm kOldToolDeleted{"[오래된 툴 파일 삭제] {}"};
inline constexpr LogForm kBusyFileRenamed{"[프로세스종료 실패파일 파일명 변경({})]"};
inline constexpr LogForm kSearchPathError{"AddSearchPathEntries [{}]"};
inline constexpr LogForm kOptionFileDeleted{"실행옵션 리소스파일 삭제 [{}]"};
inline constexpr LogForm kOptionFileMade{"실행옵션 리소스파일 생성 [{} → {}]"};
inline constexpr LogForm kNoManualsOption{"실행옵션 → [NOTEXECMANUAL=1, 매뉴얼파일(*.mht) 자동실행 안함]"};
inline constexpr LogForm kUnknownCopyType{"[{}] 정의되지 않은 값({}), 일반 복사로 배포"};
inline constexpr LogForm kFileCreated{"파일생성 [{?}. {}]"};
inline constexpr LogForm kListed{"목록추가 [{?}. {}({}, {})]"};  // n, staged path, version, size
inline constexpr LogForm kFolderMade{"폴더생성 [{}]"};
inline constexpr LogForm kBackupPassDone{"Finished procedure ExecuteBackup"};
inline constexpr LogForm kFolderRemoved{"[{}] 폴더삭제성공"};
inline constexpr LogForm kFolderNotRemoved{"[{}] 폴더삭제실패"};
inline constexpr LogForm kTindleStart{"Tindle 에이전트 설치파일(Install_TindleAgent.exe) 실행"};
inline constexpr LogForm kTindleCheck{"Tindle 에이전트 실행가능 PC여부 체크"};
inline constexpr LogForm kTindleCheckError{"Tindle 에이전트 실행가능 PC여부 확인 중 예외발생, Err.Message: {}"};
inline constexpr LogForm kTindleNotHere{"Tindle 에이전트 실행가능 PC 아님"};
inline constexpr LogForm kTindleChecked{"Tindle 에이전트 실행가능 PC여부 확인완료"};
inline constexpr LogForm kTindleStarted{"Tindle 에이전트 설치파일(Install_TindleAgent.exe) 실행완료"};

// A rollback.
inline constexpr LogForm kRollback{"백업파일롤백"};
inline constexpr LogForm kRestoreFile{"파일복사(롤백)[{?}. {}]"};
inline constexpr LogForm kRestored{"[{}] to [{}] 파일복사(롤백) 성공"};
inline constexpr LogForm kRestoreFailed{"[{}] to [{}] 파일복사(롤백) 실패"};
inline constexpr LogForm kRemoveFile{"파일삭제(롤백)[{?}. {}]"};
inline constexpr LogForm kRemoved{"[{}] 파일삭제(롤백) 성공"};
inline constexpr LogForm kRemoveFailed{"[{}] 파일삭제(롤백) 실패"};
inline constexpr LogForm kRollbackFolderRemoved{"[{}] 폴더삭제(롤백) 성공"};

// The forms of progress, for a reader that passes over them.
inline constexpr LogForm kProgressForms[] = {
    kValidityCheck, kStartOfRunProcesses, kProcessCheck, kProcessCheckDone, kProcessToEnd, kProcessEnded, kNoProcessToEnd,
    kKillExeList, kKillDllList, kKillDllListDone, kTempDeleted, kTempNotDeleted, kOldToolDeleted, kBusyFileRenamed,
    kOptionFileDeleted, kOptionFileMade, kNoManualsOption, kUnknownCopyType, kFileCreated, kListed, kFolderMade,
    kBackupPassDone, kFolderRemoved, kTindleStart, kTindleCheck, kTindleNotHere, kTindleChecked, kTindleStarted,
    kDeletingTempFiles, kBackupFolderMade, kCopyHeader, kSizeMismatch, kRetryCopied, kRestoreFile, kRemoveFile,
    kRollbackFolderRemoved,
};

}  // namespace logform
}  // namespace updater
