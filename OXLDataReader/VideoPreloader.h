#pragma once
// CVideoPreloader: reads the next stretch of a file on a background thread
// while a reader consumes the current one. A reader of large intra-frame
// essence derives from it.
//
// Hand-over protocol (the derived reader is "the reader"):
// - The reader positions the file reader where the next stretch starts and
//   calls RequestPreload (sets the start event). Only one pass may be pending:
//   request again only after WaitPreloadThread has answered.
// - One pass of the thread reads into m_pBuffer behind the m_dwLoaded bytes
//   already there: the whole buffer when it is empty, else the largest
//   multiple of m_dwGranularity that fits. On success m_dwLoaded grows by the
//   count read; a failed read leaves it as it was. The file reader's position
//   moves as the read moves it.
// - WaitPreloadThread waits for a requested or running pass and answers true
//   once it has finished (the reader may then use m_pBuffer, m_dwLoaded and
//   the file reader until it requests again); false when no pass was pending.
// - Between a request and the answer the thread owns m_pBuffer, m_dwLoaded
//   and the file reader; the reader touches them only after a true answer, or
//   while no pass is pending. m_Mutex is held by the thread while it publishes
//   a pass; a reader that holds it sees either a pending pass (start event
//   set) or a finished one (done event set), never both. WaitPreloadThread
//   must not be called while holding m_Mutex: a pending pass could not
//   publish.
//
// The thread is kept joinable rather than detached so that Close can end it
// before the buffer and events go away. A derived reader that owns the file
// reader must call CVideoPreloader::Close before deleting it: a pass may be
// reading from it.
//
// Close is not virtual on purpose: a derived data reader has a Close of its
// own (the data reader's), which must not be reached from here.
#include <boost/thread/recursive_mutex.hpp>
#include <boost/thread/thread.hpp>

#include "OXLDataReader/NeoEvent.h"

class COXLFileReader;

class CVideoPreloader {
 public:
  // How long the reader and the thread wait for each other, in milliseconds
  // (about 49.7 days).
  static constexpr uint64_t kPreloadWaitMs = 0xFFFFFFFF;

  // Throws boost::thread_resource_error when the system refuses the mutex.
  CVideoPreloader();
  CVideoPreloader(const CVideoPreloader&) = delete;
  CVideoPreloader& operator=(const CVideoPreloader&) = delete;
  // Ends the thread (Close).
  virtual ~CVideoPreloader();

  // Allocates a buffer of `bufferSize` bytes (1024-byte aligned), creates the
  // events and starts the thread, idle until the first request. An earlier
  // thread of this preloader is closed first. -1 when `fileReader` is null,
  // `bufferSize` is 0, memory cannot be had or the thread cannot be started;
  // nothing is left running then. `fileReader` is not owned.
  int Initialize(unsigned int granularity, COXLFileReader* fileReader, unsigned int bufferSize);

  // Waits for a pending pass: true when one was requested or had finished and
  // is now done; false at once when none was pending (also before Initialize),
  // or when the wait timed out.
  bool WaitPreloadThread();

  // Waits for a running pass, ends the thread, frees the buffer and the
  // events. Does nothing on a preloader that was never initialised. Returns 0.
  int Close();

  // The thread body: one pass per request until the preloader closes.
  // `preloader` is the CVideoPreloader.
  static void VideoPreloaderThread(void* preloader);

 protected:
  // Sets the start event: the thread reads at the file reader's current
  // position. False when the preloader is not running.
  bool RequestPreload();

  unsigned char* m_pBuffer;
  unsigned int m_dwLoaded;
  boost::thread m_Thread;
  neosmart::neosmart_event_t m_hStartEvent;  // manual reset: a pass is requested or running
  neosmart::neosmart_event_t m_hDoneEvent;   // auto reset: a pass has finished
  unsigned int m_dwGranularity;
  unsigned int m_dwBufferSize;
  COXLFileReader* m_pFileReader;
  boost::recursive_mutex m_Mutex;

 private:
  // Waits for a request and serves it; false when the thread is to end.
  bool RunPass();
  // Reads the next stretch into the buffer behind the loaded bytes.
  void ReadNextStretch();
  // Bytes the next pass asks for.
  unsigned int NextReadLength() const;
  void FreeBuffer();
  void DestroyEvents();
};
