package i2cdln;

import java.nio.file.Path;
import java.util.Arrays;

/**
 * The serial EEPROM on one SPI line: identify, erase, program from an image in memory, verify by
 * reading back. Safe to share between threads; a sequence (erase, program, verify) holds the
 * process's SPI sequence lock throughout, so no other EEPROM sequence comes between its steps.
 * Nothing is read or written in the working folder; {@link #program(Path, Progress)} only reads
 * the file it is given.
 *
 * <p>Every step reports its failure with the result code of the native call that failed; a
 * programmed or erased chip is judged by reading it back.
 */
public final class SpiEeprom {
    /** The chip's size: addresses 0x0000 to 0xFFFF. */
    public static final int SIZE = 65536;
    /** The bytes one native program or read call handles: progress is told per piece. */
    private static final int PIECE = 4096;

    /** Told of each step's progress; called on the calling thread. */
    @FunctionalInterface
    public interface Progress {
        /**
         * One step has advanced.
         *
         * @param step "identify", "erase", "program" or "verify"
         * @param done the units done so far (bytes when programming and verifying, else 0 or 1)
         * @param total the units in the step
         */
        void advanced(String step, int done, int total);

        /**
         * A listener that ignores everything.
         *
         * @return the listener
         */
        static Progress none() {
            return (step, done, total) -> {};
        }
    }

    private final Dln dln;
    private final int line;
    private final String device;

    SpiEeprom(Dln dln, int line) {
        this.device = "SPI line " + line;
        ArgumentOutOfRangeException.check("SpiEeprom", device, "slave-select line", line, 0, 3);
        this.dln = dln;
        this.line = line;
    }

    /**
     * Reads the chip's identification (command 0x9F): maker, type and capacity bytes. Worst
     * case: the wait for another thread's SPI transfer, then its native call's bound of 1 s
     * (see {@link Dln} on worst-case times).
     *
     * @return the three identification bytes
     * @throws NoDeviceException when every byte read 0x00 or 0xFF: no chip answered
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the transfer failed, with its result code
     */
    public int[] identify() {
        return identify("SpiEeprom.identify");
    }

    private int[] identify(String method) {
        int[] id = new int[3];
        dln.session().run(method, device, session -> NativeSession.eepromIdentify(session, line,
                id));
        if (Arrays.stream(id).allMatch(b -> b == 0) || Arrays.stream(id).allMatch(b -> b == 0xFF)) {
            throw new NoDeviceException(method, device, String.format(
                    "no EEPROM answered the identification (read %02x %02x %02x)", id[0], id[1],
                    id[2]));
        }
        return id;
    }

    /**
     * Erases the whole chip (after identifying it), waits until it is no longer busy and checks
     * by reading back that every byte is 0xFF. Worst case: the identification (1 s), the erase
     * with its status polls (a bound of 25 s), and 16 reads of 4 KiB (2 s each), each native
     * call's bound plus the adapter call in flight (see {@link Dln} on worst-case times).
     *
     * @param progress told of each step
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when a step failed (with its result code) or a byte read back is
     *     not 0xFF
     */
    public void erase(Progress progress) {
        String method = "SpiEeprom.erase";
        synchronized (SpiDevice.PORT_LOCK) {
            identifyAndErase(method, progress);
            byte[] blank = new byte[SIZE];
            Arrays.fill(blank, (byte) 0xFF);
            verify(method, blank, progress);
        }
    }

    /**
     * Programs the chip from an image and verifies it by reading it back: the chip is
     * identified and erased, then written page by page with its own commands (write enable
     * 0x06, page program 0x02, status 0x05 until it is no longer busy), from memory. All
     * 64 KiB are programmed: bytes past the image become 0. Worst case: the identification
     * (1 s) and the erase (25 s), then 16 program calls of 4 KiB (10 s each) and the read-back
     * of the image in reads of 4 KiB (2 s each), each native call's bound plus the adapter call
     * in flight (see {@link Dln} on worst-case times).
     *
     * @param image the bytes from address 0, 1 to 65536 of them
     * @param progress told of each step; "program" counts the bytes written
     * @throws ArgumentOutOfRangeException when the image is empty or larger than 64 KiB
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when a step failed (with its result code) or the bytes read back
     *     differ from the image
     */
    public void program(byte[] image, Progress progress) {
        String method = "SpiEeprom.program";
        ArgumentOutOfRangeException.check(method, device, "image size", image.length, 1, SIZE);
        byte[] chip = Arrays.copyOf(image, SIZE);
        synchronized (SpiDevice.PORT_LOCK) {
            identifyAndErase(method, progress);
            progress.advanced("program", 0, SIZE);
            for (int offset = 0; offset < SIZE; offset += PIECE) {
                int from = offset;
                byte[] piece = Arrays.copyOfRange(chip, from, from + PIECE);
                dln.session().run(method, device, session ->
                        NativeSession.eepromProgram(session, line, from, piece, PIECE));
                progress.advanced("program", from + PIECE, SIZE);
            }
            verify(method, image, progress);
        }
    }

    /**
     * Programs the chip from a file of address/data pairs in hexadecimal ("10 ab", white space
     * between numbers, an optional 0x prefix): a later pair overwrites an earlier one, only the
     * low 8 bits of a data value count, addresses not listed are 0, and an address above 0xFFFF
     * ends the reading. The whole file is read before the chip is touched: a word that is not a
     * hexadecimal number of at most 8 digits, an address without its data, or a file without any
     * pair is refused. Then programs and verifies as {@link #program(byte[], Progress)} does, up
     * to the highest address the file sets. The file is only read.
     *
     * @param hexFile the file
     * @param progress told of each step
     * @throws java.io.UncheckedIOException when the file cannot be read
     * @throws ArgumentOutOfRangeException when the file is not address/data pairs, naming the
     *     line and the word, or holds no pair; the chip is untouched
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when a step failed or the bytes read back differ
     */
    public void program(Path hexFile, Progress progress) {
        program(HexPairs.read(hexFile, device), progress);
    }

    /**
     * Reads the chip back and compares it with an image from address 0: reads of 4 KiB, each
     * within a bound of 2 s (see {@link Dln} on worst-case times).
     *
     * @param image the expected bytes, 1 to 65536 of them
     * @param progress told of the bytes compared so far
     * @throws ArgumentOutOfRangeException when the image is empty or larger than 64 KiB
     * @throws DlnException naming the first differing address and the count of differences,
     *     or a read that failed, with its result code
     */
    public void verify(byte[] image, Progress progress) {
        String method = "SpiEeprom.verify";
        ArgumentOutOfRangeException.check(method, device, "image size", image.length, 1, SIZE);
        synchronized (SpiDevice.PORT_LOCK) {
            verify(method, image, progress);
        }
    }

    private void identifyAndErase(String method, Progress progress) {
        progress.advanced("identify", 0, 1);
        identify(method);
        progress.advanced("identify", 1, 1);
        progress.advanced("erase", 0, 1);
        dln.session().run(method, device, session -> NativeSession.eepromErase(session, line));
        progress.advanced("erase", 1, 1);
    }

    private void verify(String method, byte[] image, Progress progress) {
        int differences = 0;
        int first = -1;
        int actual = 0;
        byte[] read = new byte[PIECE];
        for (int offset = 0; offset < image.length; offset += PIECE) {
            int from = offset;
            int count = Math.min(PIECE, image.length - offset);
            dln.session().run(method, device,
                    session -> NativeSession.eepromRead(session, line, from, read, count));
            for (int i = 0; i < count; i++) {
                if (read[i] != image[from + i]) {
                    if (first < 0) {
                        first = from + i;
                        actual = read[i] & 0xFF;
                    }
                    differences++;
                }
            }
            progress.advanced("verify", from + count, image.length);
        }
        if (differences > 0) {
            throw new DlnException(method, device, String.format(
                    "read back %d of %d bytes different; first at 0x%04x: expected %02x, read %02x",
                    differences, image.length, first, image[first] & 0xFF, actual));
        }
    }
}
