#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

HarnessConfig& Config()
{
    static HarnessConfig config;
    return config;
}

namespace {

std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The NULL-terminated array that execve takes, pointing into `strings`.
std::vector<char*> CStrings(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers(strings.size() + 1, nullptr);
    std::transform(strings.begin(), strings.end(), pointers.begin(),
                   [](const std::string& s) { return const_cast<char*>(s.c_str()); });
    return pointers;
}

Outcome Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
              const RunOptions& options = {})
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());

    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        std::perror("pipe");
        std::abort();
    }
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> cargv = CStrings(argv);
        std::vector<char*> cenv = CStrings(env);
        const int out = options.stdoutPath.empty() ? outPipe[1] : open(options.stdoutPath.c_str(), O_WRONLY);
        dup2(out, 1);
        dup2(errPipe[1], 2);
        if (options.stdoutClosed) {
            close(1);
        }
        close(outPipe[0]);
        close(outPipe[1]);
        close(errPipe[0]);
        close(errPipe[1]);
        execvpe(cargv[0], cargv.data(), cenv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", cargv[0], std::strerror(errno));
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    return Collect(child, outPipe[0], errPipe[0]);
}

}  // namespace

Outcome RunTool(const std::string& tool, const std::vector<std::string>& args, const RunOptions& options)
{
    const HarnessConfig& config = Config();
    std::vector<std::string> argv;
    if (options.unprivileged) {
        argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    argv.insert(argv.end(), config.launcher.begin(), config.launcher.end());
    std::vector<std::string> env = options.env;
    if (options.standin) {
        // A launcher (an emulator) hands the library to the guest program
        // only, never loading it itself.
        if (config.launcher.empty()) {
            env.push_back("LD_PRELOAD=" + config.standinLibrary);
        } else {
            argv.push_back("-E");
            argv.push_back("LD_PRELOAD=" + config.standinLibrary);
        }
    }
    argv.push_back(config.binDir + "/" + tool);
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, env, options);
}

Outcome RunHost(const std::vector<std::string>& argv)
{
    return Spawn(argv, {});
}

Sleeper::Sleeper() : pid_(fork())
{
    if (pid_ == 0) {
        execlp("sleep", "sleep", "1000", static_cast<char*>(nullptr));
        _exit(127);
    }
}

Sleeper::~Sleeper()
{
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::string ChrtReadback(pid_t pid)
{
    const Outcome chrt = RunHost({"chrt", "-p", std::to_string(pid)});
    std::istringstream in(chrt.out);
    std::string policy;
    std::string priority;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.rfind(": ");
        if (colon == std::string::npos) {
            continue;
        }
        (line.find("policy") != std::string::npos ? policy : priority) = line.substr(colon + 2);
    }
    return policy + " " + priority;
}

StandinKernel::StandinKernel()
{
    char pattern[] = "/tmp/sched-standin-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    dir_ = pattern;
}

StandinKernel::~StandinKernel()
{
    std::remove((dir_ + "/state").c_str());
    std::remove((dir_ + "/calls").c_str());
    rmdir(dir_.c_str());
}

void StandinKernel::WriteState(const std::vector<std::string>& lines) const
{
    std::ofstream out(dir_ + "/state");
    for (const std::string& line : lines) {
        out << line << '\n';
    }
}

std::vector<std::string> StandinKernel::State() const
{
    return Lines(dir_ + "/state");
}

std::vector<std::string> StandinKernel::Calls() const
{
    return Lines(dir_ + "/calls");
}

RunOptions StandinKernel::Options(const std::string& ranges, const std::string& fail) const
{
    RunOptions options;
    options.standin = true;
    options.env = {"SCHED_STANDIN_STATE=" + dir_ + "/state", "SCHED_STANDIN_LOG=" + dir_ + "/calls"};
    if (!ranges.empty()) {
        options.env.push_back("SCHED_STANDIN_RANGES=" + ranges);
    }
    if (!fail.empty()) {
        options.env.push_back("SCHED_STANDIN_FAIL=" + fail);
    }
    return options;
}

bool MaySetRealTime()
{
    static const bool allowed = [] {
        const Sleeper child;
        return RunHost({"chrt", "-f", "-p", "1", child.pidText()}).status == 0;
    }();
    return allowed;
}

bool MayRunAsNobody()
{
    static const bool allowed = [] {
        RunOptions asNobody;
        asNobody.unprivileged = true;
        return RunTool("schedreport", {"0"}, asNobody).status == 0;
    }();
    return allowed;
}
