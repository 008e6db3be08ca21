// The session kept in the browser's storage (IndexedDB): the document in the host's format, every
// molecule file it names and the objects' triangle budgets, so that a reload brings back what a person did.
const kDatabase = 'vantor-studio';
const kStore = 'session';
const kKey = 'current';

function Database() {
  return new Promise((done, fail) => {
    const request = indexedDB.open(kDatabase, 1);
    request.onupgradeneeded = () => request.result.createObjectStore(kStore);
    request.onsuccess = () => done(request.result);
    request.onerror = () => fail(request.error);
  });
}

async function Transact(mode, work) {
  const database = await Database();
  try {
    return await new Promise((done, fail) => {
      const transaction = database.transaction(kStore, mode);
      const request = work(transaction.objectStore(kStore));
      transaction.oncomplete = () => done(request.result);
      transaction.onerror = () => fail(transaction.error);
    });
  } finally {
    database.close();
  }
}

// { document: Uint8Array, files: [[name, Uint8Array]], budgets: {object: triangles} (none in a
// session kept before budgets were) }, or undefined when none is kept.
export function LoadSession() {
  return Transact('readonly', (store) => store.get(kKey));
}

export function KeepSession(session) {
  return Transact('readwrite', (store) => store.put(session, kKey));
}

export function ForgetSession() {
  return Transact('readwrite', (store) => store.delete(kKey));
}
