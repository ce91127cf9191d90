#!/usr/bin/python3
# A plain pass-through FUSE file system that reports no inode numbers of its own, as many
# user-space mounts do: a drive of the file-safety suite.
#   passthrough-fs.py FOLDER MOUNTPOINT
import errno, os, sys
from fusepy import FUSE, FuseOSError, Operations

class Passthrough(Operations):
    def __init__(self, root):
        self.root = root
    def _full(self, path):
        return os.path.join(self.root, path.lstrip('/'))
    def getattr(self, path, fh=None):
        st = os.lstat(self._full(path))
        return {key: getattr(st, key) for key in ('st_atime', 'st_ctime', 'st_gid', 'st_mode',
                                                  'st_mtime', 'st_nlink', 'st_size', 'st_uid')}
    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._full(path))
    def access(self, path, mode):
        if not os.access(self._full(path), mode):
            raise FuseOSError(errno.EACCES)
    def chmod(self, path, mode): os.chmod(self._full(path), mode)
    def chown(self, path, uid, gid): os.chown(self._full(path), uid, gid)
    def open(self, path, flags): return os.open(self._full(path), flags)
    def create(self, path, mode, fi=None): return os.open(self._full(path), os.O_WRONLY | os.O_CREAT, mode)
    def read(self, path, size, offset, fh): os.lseek(fh, offset, 0); return os.read(fh, size)
    def write(self, path, data, offset, fh): os.lseek(fh, offset, 0); return os.write(fh, data)
    def truncate(self, path, length, fh=None): os.truncate(self._full(path), length)
    def flush(self, path, fh): return 0
    def release(self, path, fh): os.close(fh)
    def unlink(self, path): os.unlink(self._full(path))
    def rmdir(self, path): os.rmdir(self._full(path))
    def mkdir(self, path, mode): os.mkdir(self._full(path), mode)
    def rename(self, old, new): os.rename(self._full(old), self._full(new))
    def utimens(self, path, times=None): os.utime(self._full(path), times)
    def statfs(self, path):
        st = os.statvfs(self._full(path))
        return {key: getattr(st, key) for key in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize',
                'f_favail', 'f_ffree', 'f_files', 'f_flag', 'f_frsize', 'f_namemax')}

if __name__ == '__main__':
    FUSE(Passthrough(sys.argv[1]), sys.argv[2], foreground=True, allow_other=True, use_ino=True)
