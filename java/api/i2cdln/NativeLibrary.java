package i2cdln;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;

/**
 * Loads the native libraries once per class loader: {@code dln} (the adapter library) and, on
 * demand, {@code I2C_DLN} (the fifteen native methods of the class {@code I2C_DLN}) and
 * {@code i2cdln} (the typed API's sessions).
 *
 * <p>The jar carries them under {@code native/<os>-<arch>/} (linux-x86_64, and windows-x86_64
 * when the Windows cross-build was made). They are copied to a per-user cache folder named
 * after their content, {@code <cache>/i2cdln/<sha-256 prefix>/}, and loaded from there with
 * {@link System#load}: {@code dln} first, so that the other two find it already loaded and
 * share it. The cache is {@code $XDG_CACHE_HOME} or {@code ~/.cache} (Linux),
 * {@code %LOCALAPPDATA%} (Windows), or the folder named by the system property
 * {@code i2cdln.cache}. Each file is written to a temporary file first and moved into place
 * atomically, so JVMs that start at the same time never load a half-written copy, and flushed
 * to disk before the rename. A file already in place is compared with the jar's copy before it
 * is loaded: one that differs (changed in place, or left zero-filled by a crash) is written
 * again.
 *
 * <p>Without libraries for this platform in the jar (classes run from a folder), or when the
 * system property {@code i2cdln.native} is {@code system} (for example on the robot, where the
 * library built against the maker's {@code dln.dll} must be used instead of ours), the libraries
 * come from {@code java.library.path} through {@link System#loadLibrary}; each finds
 * {@code dln} next to itself. When extraction fails (say the cache is read-only) that is tried
 * too, and the error names both attempts.
 *
 * <p>{@code I2C_DLN}'s static initialiser calls {@link #load()} (through reflection, so that
 * {@code I2C_DLN.java} still compiles on its own); the typed API loads {@code i2cdln} itself.
 * Programs need not call either.
 */
public final class NativeLibrary {
    private static final String RESOURCE_ROOT = "/native/";
    private static final String FIFTEEN = "I2C_DLN";
    static final String TYPED = "i2cdln";
    private static final Set<String> LOADED = new HashSet<>();
    private static Path extracted; // the cache folder once the jar's libraries are there

    private NativeLibrary() {
    }

    /**
     * Loads {@code dln} and {@code I2C_DLN} unless already done; safe to call from several
     * threads.
     *
     * @throws UnsatisfiedLinkError when neither the jar's libraries nor those on
     *     {@code java.library.path} can be loaded; the message names what was tried
     */
    public static void load() {
        load(FIFTEEN);
    }

    /** Loads {@code dln} and the named library ({@code I2C_DLN} or {@code i2cdln}) once. */
    static synchronized void load(String name) {
        if (LOADED.contains(name)) {
            return;
        }
        String platform = platform();
        List<String> files = libraryFiles(platform);
        boolean bundled = !"system".equals(System.getProperty("i2cdln.native"))
                && NativeLibrary.class.getResource(RESOURCE_ROOT + platform + "/"
                        + fileName(platform, name)) != null;
        if (bundled) {
            try {
                if (extracted == null) {
                    extracted = extract(platform, files);
                }
                if (LOADED.add("dln")) {
                    System.load(extracted.resolve(files.get(0)).toString());
                }
                System.load(extracted.resolve(fileName(platform, name)).toString());
                LOADED.add(name);
                return;
            } catch (IOException | UncheckedIOException | UnsatisfiedLinkError e) {
                try {
                    System.loadLibrary(name);
                } catch (UnsatisfiedLinkError fallback) {
                    UnsatisfiedLinkError both = new UnsatisfiedLinkError(
                            "the jar's native libraries for " + platform + " could not be loaded ("
                            + e.getMessage() + "), nor " + name + " from java.library.path ("
                            + fallback.getMessage() + ")");
                    both.initCause(e);
                    throw both;
                }
                LOADED.add(name);
                return;
            }
        }
        System.loadLibrary(name);
        LOADED.add(name);
    }

    /**
     * The folder of the libraries for this platform, as the jar names it, e.g. "linux-x86_64".
     *
     * @return the operating system and architecture, joined by a hyphen
     */
    public static String platform() {
        String os = System.getProperty("os.name").toLowerCase(Locale.ROOT);
        String arch = System.getProperty("os.arch").toLowerCase(Locale.ROOT);
        String osName = os.startsWith("windows") ? "windows" : os.startsWith("linux") ? "linux"
                : os.replaceAll("[^a-z0-9]", "");
        String archName = arch.equals("amd64") || arch.equals("x86_64") ? "x86_64" : arch;
        return osName + "-" + archName;
    }

    /** The library files the jar carries, dln first: the others link it. */
    private static List<String> libraryFiles(String platform) {
        return List.of(fileName(platform, "dln"), fileName(platform, FIFTEEN),
                fileName(platform, TYPED));
    }

    private static String fileName(String platform, String name) {
        return platform.startsWith("windows") ? name + ".dll" : "lib" + name + ".so";
    }

    /** Copies the libraries into their content-named cache folder unless they are there. */
    private static Path extract(String platform, List<String> files) throws IOException {
        List<byte[]> contents = new ArrayList<>();
        MessageDigest digest;
        try {
            digest = MessageDigest.getInstance("SHA-256");
        } catch (NoSuchAlgorithmException e) {
            throw new IOException("no SHA-256 in this JVM", e);
        }
        for (String file : files) {
            try (InputStream in = NativeLibrary.class.getResourceAsStream(
                    RESOURCE_ROOT + platform + "/" + file)) {
                if (in == null) {
                    throw new IOException("the jar has no " + platform + "/" + file);
                }
                byte[] bytes = in.readAllBytes();
                contents.add(bytes);
                digest.update(file.getBytes(StandardCharsets.UTF_8));
                digest.update(bytes);
            }
        }
        StringBuilder hash = new StringBuilder();
        for (byte b : digest.digest()) {
            hash.append(String.format("%02x", b));
        }
        Path folder = cacheRoot().resolve("i2cdln").resolve(hash.substring(0, 16));
        Files.createDirectories(folder);
        for (int i = 0; i < files.size(); i++) {
            Path target = folder.resolve(files.get(i));
            if (holds(target, contents.get(i))) {
                continue;
            }
            // Missing, or changed since (edited in place, or zero-filled by a crash after a
            // rename whose data never reached the disk): written again.
            Path temporary = Files.createTempFile(folder, files.get(i), ".part");
            try {
                try (FileChannel channel = FileChannel.open(temporary,
                        StandardOpenOption.WRITE, StandardOpenOption.TRUNCATE_EXISTING)) {
                    ByteBuffer buffer = ByteBuffer.wrap(contents.get(i));
                    while (buffer.hasRemaining()) {
                        channel.write(buffer);
                    }
                    channel.force(true); // on disk before the name points at it
                }
                moveIntoPlace(temporary, target);
            } finally {
                Files.deleteIfExists(temporary);
            }
            if (!holds(target, contents.get(i))) {
                throw new IOException(target + " differs from the jar's copy and cannot be"
                        + " replaced (loaded by another program?)");
            }
        }
        return folder;
    }

    /** True when the file exists and holds exactly these bytes. */
    private static boolean holds(Path file, byte[] content) throws IOException {
        if (!Files.isRegularFile(file) || Files.size(file) != content.length) {
            return false;
        }
        return Arrays.equals(Files.readAllBytes(file), content);
    }

    /** Moves atomically and makes the rename durable; another JVM that got there first is as
     * good when its copy is right (and on Windows a loaded copy cannot be replaced). */
    private static void moveIntoPlace(Path temporary, Path target) throws IOException {
        try {
            Files.move(temporary, target, StandardCopyOption.ATOMIC_MOVE,
                    StandardCopyOption.REPLACE_EXISTING);
        } catch (IOException e) {
            if (!Files.isRegularFile(target)) {
                throw e;
            }
            return;
        }
        try (FileChannel folder = FileChannel.open(target.getParent(), StandardOpenOption.READ)) {
            folder.force(true);
        } catch (IOException | UnsupportedOperationException e) {
            // Windows opens no folder as a channel; its rename is durable on its own.
        }
    }

    private static Path cacheRoot() {
        String chosen = System.getProperty("i2cdln.cache");
        if (chosen != null && !chosen.isEmpty()) {
            return Path.of(chosen);
        }
        String home = System.getProperty("user.home");
        if (platform().startsWith("windows")) {
            String local = System.getenv("LOCALAPPDATA");
            return local != null ? Path.of(local) : Path.of(home, "AppData", "Local");
        }
        String xdg = System.getenv("XDG_CACHE_HOME");
        return xdg != null && !xdg.isEmpty() ? Path.of(xdg) : Path.of(home, ".cache");
    }
}
