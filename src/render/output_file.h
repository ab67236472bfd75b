// An output file written safely: into a temporary file in the target's folder, every write and
// the close checked, and renamed over the target only when all of it succeeded. A failed output
// leaves no half-written file behind and keeps an existing file as it was.
#pragma once

#include <QIODevice>
#include <string>

namespace planora {

class OutputFile final : public QIODevice {
  public:
    explicit OutputFile(std::string target);
    ~OutputFile() override;  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file and opens the device for writing. False when it cannot be made.
    bool begin();
    // Closes the temporary file and renames it to the target. False (and the temporary file
    // removed) when any write, the close or the rename failed.
    bool commit();
    // Gives up: removes the temporary file.
    void discard();

    bool failed() const { return failed_; }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace planora
