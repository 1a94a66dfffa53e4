// Whole-process benchmark of one command of many rows through the data module: re-keying the
// questions of 13 topics (every question of topics 2..14 gets its topic's number + 100, the way
// a topic renumbering rewrites idtest), either one post at a time (a transaction each, as the
// datasets write outside a write scope) or inside one write scope.
//   store_rekey FILE each|scope
// Prints the number of rows written and the file syncs the engine asked for; bench/commands.sh
// runs it under GNU time.
#include <cstdio>
#include <cstring>
#include <memory>

#include "jet/error.h"
#include "jet/file.h"
#include "store/tdatmod.h"

namespace {

// The real file system, counting syncs of files and folders.
class CountingEnv : public jet::Env {
  public:
    std::unique_ptr<jet::File> open(const std::string& path, jet::OpenMode mode) override {
        return std::make_unique<CountingFile>(jet::Env::posix().open(path, mode), syncs);
    }
    bool exists(const std::string& p) override { return jet::Env::posix().exists(p); }
    void remove(const std::string& p) override { jet::Env::posix().remove(p); }
    void rename(const std::string& a, const std::string& b) override {
        jet::Env::posix().rename(a, b);
    }
    void syncDirOf(const std::string& p) override {
        ++syncs;
        jet::Env::posix().syncDirOf(p);
    }
    std::vector<std::string> list(const std::string& d) override {
        return jet::Env::posix().list(d);
    }
    long syncs = 0;

  private:
    class CountingFile : public jet::File {
      public:
        CountingFile(std::unique_ptr<jet::File> f, long& syncs) : f_(std::move(f)), syncs_(syncs) {}
        uint64_t size() override { return f_->size(); }
        size_t read(uint64_t off, uint8_t* buf, size_t n) override { return f_->read(off, buf, n); }
        void write(uint64_t off, const uint8_t* buf, size_t n) override { f_->write(off, buf, n); }
        void truncate(uint64_t size) override { f_->truncate(size); }
        void sync() override {
            ++syncs_;
            f_->sync();
        }
        bool tryLockExclusive() override { return f_->tryLockExclusive(); }

      private:
        std::unique_ptr<jet::File> f_;
        long& syncs_;
    };
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "each") != 0 && std::strcmp(argv[2], "scope") != 0)) {
        std::fprintf(stderr, "usage: store_rekey FILE each|scope\n");
        return 2;
    }
    try {
        CountingEnv env;
        TDatMod dm;
        dm.Conn.setEnv(&env);
        dm.connectTo(QString::fromLocal8Bit(argv[1]));
        dm.qrtema.open();
        long rows = 0;
        auto rekey = [&] {
            for (dm.qrtema.first(); !dm.qrtema.eof(); dm.qrtema.next()) {
                const qint64 topic = dm.qrtema.asInteger("numtema");
                if (topic < 2 || topic > 14) continue;
                for (dm.qrvoprosi.first(); !dm.qrvoprosi.eof(); dm.qrvoprosi.next()) {
                    dm.qrvoprosi.edit();
                    dm.qrvoprosi.setInteger("idtest", topic + 100);
                    dm.qrvoprosi.post();
                    ++rows;
                }
            }
        };
        const long before = env.syncs;
        if (std::strcmp(argv[2], "scope") == 0)
            dm.write(rekey);
        else
            rekey();
        std::printf("%ld rows, %ld syncs\n", rows, env.syncs - before);
        dm.Conn.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_rekey: %s\n", e.what());
        return 1;
    }
    return 0;
}
